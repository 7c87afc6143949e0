#!/usr/bin/env bash
# The whole suite without the SSE2 code (preset "plain", build-plain/): the
# plain code that other processors, and compilers that do not say they have
# SSE2, take instead.
exec bash "$(dirname "$0")/run-tests.sh" plain
