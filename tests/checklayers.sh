#!/bin/sh
# checklayers.sh SRC_DIR: every #include "layer/..." of a layer names the layer itself
# or one below it. The link catches a call that runs upwards; this also catches an
# upward include of a header that needs no linking (constants, inline code).
set -eu
src=${1:?usage: checklayers.sh SRC_DIR}
status=0
check() {
    layer=$1
    shift
    allowed="$layer $*"
    for file in $(find "$src/$layer" -name '*.h' -o -name '*.cpp'); do
        for used in $(sed -n 's/^ *# *include *"\([a-z]*\)\/.*/\1/p' "$file" | sort -u); do
            case " $allowed " in
            *" $used "*) ;;
            *) echo "$file includes $used/, above its layer" >&2; status=1 ;;
            esac
        done
    done
}
check platform
check indexer platform
check wizard indexer platform
check shell platform
check update shell platform
check discovery platform
check mainwindow discovery indexer shell platform
check thumbnails indexer platform
check cli mainwindow discovery update shell wizard indexer thumbnails platform
check gui mainwindow discovery update shell wizard indexer thumbnails platform
exit $status
