#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file names its licence in its first lines, as the package's
# copyright file says of them all.
set -euo pipefail
cd "$1"
tag='SPDX-License-Identifier: GPL-3.0-or-later'
missing=$(find src tests bench tools fuzz data/man .ci -type f \
            \( -name '*.cpp' -o -name '*.h' -o -name '*.h.in' -o -name '*.sh' -o -name '*.py' -o -name '*.1.in' \
               -o -name CMakeLists.txt -o -path '.ci/run' \) -print |
          while read -r file; do head -n 3 "$file" | grep -qF "$tag" || echo "$file"; done)
[ -z "$missing" ] || { echo "FAIL: no SPDX line in:"; echo "$missing"; exit 1; }
head -n 3 CMakeLists.txt | grep -qF "$tag" || { echo "FAIL: no SPDX line in CMakeLists.txt"; exit 1; }
echo "ok: every source file carries its SPDX line"
