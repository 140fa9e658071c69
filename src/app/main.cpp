// exifcheck: checks the frames of a survey for consistent EXIF metadata.
#include "app/program_flow.h"

int main(int argc, char* argv[]) { return RunExifCheck(argc, argv); }
