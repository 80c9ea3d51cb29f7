#!/usr/bin/env bash
# A response file named on the command line that does not exist: the run fails with the
# system's code before any server package is touched, instead of installing with defaults
# and reporting success to the deployment tool.
source "$(dirname "$0")/lib.sh" "$1" missing-response-file
e2e_prepare
e2e_watch
e2e_setup '/script:C:\dist\no-such-answers.rsp'
e2e_unwatch
e2e_expect_exit 0x80070002
e2e_expect_log "Setting file named on the command line cannot be opened: C:\\dist\\no-such-answers.rsp"
e2e_expect_no_products
e2e_finish
