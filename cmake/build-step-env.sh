#!/bin/sh
# build-step-env.sh SOURCE-FOLDER COMMAND...: runs a build step of the source folder with a UTF-8
# locale (Qt's tools warn under C's ASCII, as where LANG is unset) and with SOURCE_DATE_EPOCH,
# taken from the last commit when the caller gives none.
source_dir=$1
shift
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=
  [ -n "$SOURCE_DATE_EPOCH" ] && export SOURCE_DATE_EPOCH
fi
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
  *[Uu][Tt][Ff]-8* | *[Uu][Tt][Ff]8*) ;;
  *) LC_ALL=C.UTF-8 && export LC_ALL ;;
esac
exec "$@"
