#!/usr/bin/env bash
# The main job: installs and builds what is missing, then shows the settings
# record the client reads from the bundled demo connection file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
./build/bin/kivtool read examples/demo.kiv --local-ini resources/KivClient.ini
