#!/bin/sh
# Lets a survey go on to photogrammetry only when exifcheck gives it the
# all-clear (exit status 0); any other status stops the pipeline, with a
# line that says what to do and exifcheck's own status.
#   gate-survey.sh SETTINGS-FILE
# The console output is kept in exifcheck.log in the current folder (GBK
# text: iconv -f GBK -t UTF-8 exifcheck.log).
settings=${1:?usage: gate-survey.sh SETTINGS-FILE}

exifcheck "$settings" >exifcheck.log
status=$?
case $status in
  0) echo "gate: all clear, the survey may go on" >&2
     exit 0 ;;
  1) echo "gate: images were reported: see error.json in the output folder (or the settings file cannot be opened)" >&2 ;;
  2) echo "gate: the settings cannot be used: nothing was checked" >&2 ;;
  3) echo "gate: exifcheck ran out of memory" >&2 ;;
  4) echo "gate: files or subfolders named above could not be checked" >&2 ;;
  5) echo "gate: a check left differing values out of error.json: look at the groups named above" >&2 ;;
  6) echo "gate: images were reported, but error.json could not be written: their names are in exifcheck.log only; make the output folder writable" >&2 ;;
  *) echo "gate: exifcheck did not finish (status $status)" >&2 ;;
esac
exit "$status"
