#!/usr/bin/env bash
# /autoinstall with no input at all: on a fresh machine the summary window's choice is taken
# at once (Install: Security Server and Authentication Server), the restart counts as agreed
# and the run ends by itself with 0. The restart request goes to the system of the case's
# own copied prefix (Wine answers it without restarting anything); the case checks that it
# was made, from the log. A second run finds everything installed and current: nothing to
# do, the run ends as Cancel would, with 0 and no restart.
source "$(dirname "$0")/ui-lib.sh" "$1" interactive-autoinstall
e2e_prepare

e2e_log "fresh machine"
ui_start /autoinstall
ui_wait_exit 120
e2e_expect_exit 0x00000000
ui_expect_products "Orvane Studio Security Server" "Orvane Studio Authentication Server"
e2e_expect_log_order "Unattended run: the choice is the action button" "Package 'Security Server' is 'checked', action is 'Install'"
e2e_expect_log_order "Package 'Security Server' is 'checked', action is 'Install'" "[ovinst::RebootObject::Exec]Setting restart on exit"
e2e_expect_log_order "[ovinst::RebootObject::Exec]Setting restart on exit" "#2 Installation has ended with code 0"
e2e_expect_log_order "#2 Installation has ended with code 0" "Restarting os..."
e2e_expect_no_log "Restart countdown not needed / cancelled "
e2e_expect_no_log "ask user with message"

e2e_log "installed and current"
ui_start /autoinstall
ui_wait_exit 60
e2e_expect_exit 0x00000000
ui_expect_products "Orvane Studio Security Server" "Orvane Studio Authentication Server"
e2e_expect_log_order "Unattended run: nothing to do" "#1 Installation has ended with code 0"
e2e_expect_log_order "#1 Installation has ended with code 0" "Restart not needed"
e2e_expect_no_log "Setting restart on exit"
e2e_finish
