// Invalid positions, and the nearest-neighbour search behind the outliers.
#include "survey/positions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "survey/stage.h"

namespace {

constexpr std::size_t kLeafSize = 8;
constexpr double kFar = std::numeric_limits<double>::infinity();

double Along(PlanePoint p, int axis) { return axis == 0 ? p.x : p.y; }

// The part of the plane a node of the tree covers.
struct Box {
  double min_x = -kFar, max_x = kFar, min_y = -kFar, max_y = kFar;
};

double SquaredDistanceTo(const Box& box, PlanePoint q) {
  const double dx = std::max({box.min_x - q.x, 0.0, q.x - box.max_x});
  const double dy = std::max({box.min_y - q.y, 0.0, q.y - box.max_y});
  return dx * dx + dy * dy;
}

// A node is the range [lo, hi) of `order`: its middle entry splits it along
// the axis kept for it, the entries before it lie at or below, those after
// at or above.
struct KdTree {
  const std::vector<PlanePoint>& points;
  std::vector<std::size_t> order;
  std::vector<std::uint8_t> axis;  // by the place of a node's middle entry
};

void Build(KdTree& tree, std::size_t lo, std::size_t hi) {
  while (hi - lo > kLeafSize) {
    // Split along the wider extent: on alternate axes, frames on one
    // north-south line would tie at every east-west split, and each search
    // would visit both halves there.
    Box extent{kFar, -kFar, kFar, -kFar};
    for (std::size_t k = lo; k < hi; ++k) {
      const PlanePoint p = tree.points[tree.order[k]];
      extent = {std::min(extent.min_x, p.x), std::max(extent.max_x, p.x),
                std::min(extent.min_y, p.y), std::max(extent.max_y, p.y)};
    }
    const int axis = extent.max_x - extent.min_x >= extent.max_y - extent.min_y ? 0 : 1;
    const std::size_t mid = lo + (hi - lo) / 2;
    tree.axis[mid] = static_cast<std::uint8_t>(axis);
    const auto begin = tree.order.begin();
    std::nth_element(
        begin + static_cast<std::ptrdiff_t>(lo), begin + static_cast<std::ptrdiff_t>(mid),
        begin + static_cast<std::ptrdiff_t>(hi), [&tree, axis](std::size_t a, std::size_t b) {
          return Along(tree.points[a], axis) < Along(tree.points[b], axis);
        });
    Build(tree, lo, mid);
    lo = mid + 1;
  }
}

struct Query {
  std::size_t self = 0;
  PlanePoint at;
  double best = kFar;  // squared
};

void Consider(const KdTree& tree, std::size_t index, Query* q) {
  if (index == q->self) return;
  const PlanePoint p = tree.points[index];
  const double dx = p.x - q->at.x, dy = p.y - q->at.y;
  q->best = std::min(q->best, dx * dx + dy * dy);
}

void Search(const KdTree& tree, std::size_t lo, std::size_t hi, const Box& box, Query* q) {
  // A node no nearer than the best found cannot hold a nearer point: a far
  // stray frame visits little more than the edge of the survey facing it.
  if (SquaredDistanceTo(box, q->at) >= q->best) return;
  if (hi - lo <= kLeafSize) {
    for (std::size_t k = lo; k < hi; ++k) Consider(tree, tree.order[k], q);
    return;
  }
  const std::size_t mid = lo + (hi - lo) / 2;
  const int axis = tree.axis[mid];
  Consider(tree, tree.order[mid], q);
  const double split = Along(tree.points[tree.order[mid]], axis);
  Box low = box, high = box;
  if (axis == 0) {
    low.max_x = split;
    high.min_x = split;
  } else {
    low.max_y = split;
    high.min_y = split;
  }
  if (Along(q->at, axis) < split) {
    Search(tree, lo, mid, low, q);
    Search(tree, mid + 1, hi, high, q);
  } else {
    Search(tree, mid + 1, hi, high, q);
    Search(tree, lo, mid, low, q);
  }
}

bool LatitudeRight(const FrameFacts& f) {
  return f.has_latitude && std::fabs(f.latitude) <= 90.0 &&
         (f.latitude_ref == 'N' || f.latitude_ref == 'S');
}

bool LongitudeRight(const FrameFacts& f) {
  return f.has_longitude && std::fabs(f.longitude) <= 180.0 &&
         (f.longitude_ref == 'E' || f.longitude_ref == 'W');
}

}  // namespace

bool PositionInvalid(const FrameFacts& frame) {
  if (!frame.has_latitude && !frame.has_longitude) return false;
  if (!LatitudeRight(frame) || !LongitudeRight(frame)) return true;
  // The camera's answer when it had no fix.
  return frame.latitude == 0.0 && frame.longitude == 0.0;
}

std::vector<double> NearestNeighbourMetres(const std::vector<PlanePoint>& points) {
  KdTree tree{points, std::vector<std::size_t>(points.size()),
              std::vector<std::uint8_t>(points.size(), 0)};
  for (std::size_t i = 0; i < points.size(); ++i) tree.order[i] = i;
  Build(tree, 0, points.size());
  std::vector<double> nearest(points.size(), kFar);
  for (std::size_t i = 0; i < points.size(); ++i) {
    Query q;
    q.self = i;
    q.at = points[i];
    Search(tree, 0, points.size(), Box(), &q);
    nearest[i] = std::sqrt(q.best);
  }
  return nearest;
}

std::vector<std::optional<PlanePoint>> FindPositionFaults(const std::vector<FrameFacts>& frames,
                                                          SurveyFindings* out) {
  std::vector<std::optional<PlanePoint>> usable(frames.size());
  bool any_coordinate = false;
  std::vector<std::size_t> placed;
  std::vector<double> latitudes, longitudes;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const FrameFacts& f = frames[i];
    if (!f.exif || (!f.has_latitude && !f.has_longitude)) continue;
    any_coordinate = true;
    if (PositionInvalid(f)) {
      Name(out, i, Finding::kPositionInvalid);
    } else if (!Names(out->frames[i].findings, Finding::kDuplicate)) {
      placed.push_back(i);
      latitudes.push_back(f.latitude);
      longitudes.push_back(f.longitude);
    }
  }
  if (any_coordinate) {
    HasData(out, Finding::kPositionInvalid);
  } else {
    NoData(out, Finding::kPositionInvalid, "no frame carries a GPS coordinate",
           "没有影像带有 GPS 坐标");
  }
  if (placed.empty()) {
    NoData(out, Finding::kPositionOutlier, "no frame has a usable position",
           "没有影像带有可用的位置");
    return usable;
  }
  const LocalPlane plane = FitPlane(latitudes, longitudes);
  std::vector<PlanePoint> points;
  points.reserve(placed.size());
  for (std::size_t k = 0; k < placed.size(); ++k) {
    points.push_back(ToPlane(plane, latitudes[k], longitudes[k]));
    usable[placed[k]] = points.back();
  }
  if (placed.size() < 2) {
    NoData(out, Finding::kPositionOutlier, "fewer than two frames have a usable position",
           "有可用位置的影像不足两张");
    return usable;
  }
  HasData(out, Finding::kPositionOutlier);
  const std::vector<double> nearest = NearestNeighbourMetres(points);
  const double spacing = Median(nearest);
  const double limit = std::max(kOutlierFloorMetres, kOutlierSpacings * spacing);
  out->figures.neighbour_spacing_m = spacing;
  out->figures.outlier_distance_m = limit;
  for (std::size_t k = 0; k < placed.size(); ++k) {
    if (nearest[k] > limit) {
      Name(out, placed[k], Finding::kPositionOutlier);
      usable[placed[k]].reset();
    }
  }
  return usable;
}
