// Writes the test support's drone survey with one frame of each fault the
// findings before processing name (support/fault_survey.h), for CI's
// report-page stage, and beside it the frames each finding must name on
// the page: one "finding<TAB>path" a line.
//   write_fault_survey SURVEY-FOLDER EXPECTED-FILE
#include <cstdio>
#include <fstream>
#include <string>

#include "support/fault_survey.h"

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: write_fault_survey SURVEY-FOLDER EXPECTED-FILE\n");
    return 2;
  }
  std::ofstream out(argv[2], std::ios::trunc);
  // A file's notes are its findings' ids between semicolons, a duplicate's
  // followed by the frame it repeats.
  for (const testsupport::SurveyFile& file : testsupport::WriteFaultSurvey(argv[1])) {
    std::string notes = file.notes;
    for (std::size_t start = 0; start < notes.size();) {
      std::size_t end = notes.find(';', start);
      if (end == std::string::npos) end = notes.size();
      const std::string note = notes.substr(start, end - start);
      out << note.substr(0, note.find(':')) << '\t' << file.path << '\n';
      start = end + 1;
    }
  }
  return out ? 0 : 1;
}
