// The console and report texts, as the GBK (code page 936) bytes the tool
// writes everywhere; no character set is converted. The text each one spells
// stands in the comment beside it.
#ifndef EXIFCHECK_CHECKS_MESSAGES_H_
#define EXIFCHECK_CHECKS_MESSAGES_H_

// clang-format off

// Printed when no check reports an image.
constexpr char kAllClearMessage[] = "\n\xbc\xec\xb2\xe9\xd3\xb0\xcf\xf1\xb5\xc4\xb7\xd6\xb1\xe6\xc2\xca\xa3\xac\xcf\xe0\xbb\xfa\xd6\xc6\xd4\xec\xc9\xcc\xa3\xac\xbd\xb9\xbe\xe0\xa3\xac\xba\xac\xd3\xd0GPS\xb5\xc8\xd6\xb8\xb1\xea\xbe\xf9\xd5\xfd\xb3\xa3...\n";  // "\n检查影像的分辨率，相机制造商，焦距，含有GPS等指标均正常...\n"

// Before the number of each image a check handles.
constexpr char kImageSequence[] = "\xd3\xb0\xcf\xf1\xd0\xf2\xc1\xd0: ";  // "影像序列: "

// Before the size of a reported group.
constexpr char kGroupErrorCount[] = "\xb8\xc3\xc0\xe0\xb4\xed\xce\xf3\xd3\xb0\xcf\xf1\xb9\xb2\xa3\xba";  // "该类错误影像共："

// Before the number of an image within a reported group.
constexpr char kErrorImageSequence[] = "\xb4\xed\xce\xf3\xd3\xb0\xcf\xf1\xd0\xf2\xc1\xd0: ";  // "错误影像序列: "

// Before the file name of a reported image.
constexpr char kMismatchFileName[] = "\xb2\xbb\xcf\xe0\xcd\xac\xb5\xc4\xce\xc4\xbc\xfe\xc3\xfb\xce\xaa\xa3\xba ";  // "不相同的文件名为： "

// Report description, errcode 101.
constexpr char kResolutionMismatch[] = "\xd3\xb0\xcf\xf1\xb7\xd6\xb1\xe6\xc2\xca\xb2\xbb\xd2\xbb\xd6\xc2.";  // "影像分辨率不一致."

// Report description, errcode 102.
constexpr char kMakerMismatch[] = "\xcf\xe0\xbb\xfa\xd6\xc6\xd4\xec\xc9\xcc\xb2\xbb\xd2\xbb\xd6\xc2.";  // "相机制造商不一致."

// Report description, errcode 103.
constexpr char kFocalLengthMismatch[] = "\xcf\xe0\xbb\xfa\xbd\xb9\xbe\xe0\xb2\xbb\xd2\xbb\xd6\xc2.";  // "相机焦距不一致."

// Report description, errcode 104.
constexpr char kNoGpsInformation[] = "\xc3\xbb\xd3\xd0gps\xd0\xc5\xcf\xa2.";  // "没有gps信息."

// clang-format on

#endif  // EXIFCHECK_CHECKS_MESSAGES_H_
