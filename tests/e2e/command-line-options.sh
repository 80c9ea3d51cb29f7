#!/usr/bin/env bash
# What a deployment tool's command line can get wrong: a /restartexitcode value that is not
# a decimal number ends the run at once with 87 and a log line, nothing installed; options
# the program does not know are each named in a warning and the run goes on (here it
# installs, and without a restart code it ends with 0 although a restart is needed).
source "$(dirname "$0")/lib.sh" "$1" command-line-options
e2e_prepare

for value in 0xBC2 -1 3010x ''; do
  e2e_watch
  e2e_setup '/script:C:\dist\answers.rsp' "/restartexitcode:$value"
  e2e_unwatch
  e2e_expect_exit 0x00000057
  e2e_expect_log "The value of /restartexitcode is not a decimal number: \"$value\"; ending with 87"
  e2e_expect_log "#2 Installation has ended with code 87"
  e2e_expect_no_log "Creating Install Data object"
done
e2e_expect_no_products

e2e_watch
e2e_setup '/script:C:\dist\answers.rsp' /unistall -MyTool:42
e2e_unwatch
e2e_expect_exit 0x00000000
e2e_expect_log "Unknown command-line option ignored: /unistall"
e2e_expect_log "Unknown command-line option ignored: /mytool"
e2e_expect_no_log "Unknown command-line option ignored: /script"
[ -n "$(e2e_product_version 'Security Server')" ] || e2e_fail "the run with unknown options installed nothing"
e2e_expect_no_log "A restart is needed: ending with"
e2e_finish
