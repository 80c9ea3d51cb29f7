#!/usr/bin/env bash
# Windows Server 2012 R2 after a run that switched User Account Control off and was
# interrupted: the live values read EnableLUA 0 and ConsentPromptBehaviorAdmin 5 (Group
# Policy put the consent prompt back), the backup of that run holds the originals, 1 and 5.
# A silent run finds UAC on, switches it off again and ends with 1603, keeping that backup;
# the run after the restart installs and puts the originals back, 1 and 5, backup gone.
source "$(dirname "$0")/lib.sh" "$1" uac-backup-kept
e2e_prepare
POLICY='HKLM\Software\Microsoft\Windows\CurrentVersion\Policies\System'
e2e_reg_dword() { wine reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f </dev/null >/dev/null 2>&1; }
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentVersion /t REG_SZ /d 6.3 /f \
  </dev/null >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber /t REG_SZ /d 9600 /f \
  </dev/null >/dev/null 2>&1
e2e_reg_dword "$POLICY" EnableLUA 0
e2e_reg_dword "$POLICY" ConsentPromptBehaviorAdmin 5
e2e_reg_dword "$POLICY\\OvBackup" EnableLUA 1
e2e_reg_dword "$POLICY\\OvBackup" ConsentPromptBehaviorAdmin 5
# 2012 R2 needs KB2919355 before the C/C++ runtime: the runtime is installed beforehand.
for redist in vcredist_x64 vcredist_x86; do
  wine "C:\\dist\\prerequisites\\$redist.exe" /quiet /norestart </dev/null >/dev/null 2>&1
done

e2e_log "the run that finds UAC on"
e2e_watch
e2e_setup '/script:C:\dist\answers.rsp'
e2e_unwatch
e2e_expect_exit 0x00000643
e2e_expect_log "Backup of EnableLUA kept: 1"
e2e_expect_log "Backup of ConsentPromptBehaviorAdmin kept: 5"
e2e_expect_equal "live EnableLUA" "$(e2e_reg_value "$POLICY" EnableLUA)" 0x0
e2e_expect_equal "live ConsentPromptBehaviorAdmin" "$(e2e_reg_value "$POLICY" ConsentPromptBehaviorAdmin)" 0x0
e2e_expect_equal "backup EnableLUA" "$(e2e_reg_value "$POLICY\\OvBackup" EnableLUA)" 0x1
e2e_expect_equal "backup ConsentPromptBehaviorAdmin" "$(e2e_reg_value "$POLICY\\OvBackup" ConsentPromptBehaviorAdmin)" 0x5
e2e_expect_no_products

e2e_log "the run after the restart"
e2e_watch
e2e_setup '/script:C:\dist\answers.rsp'
e2e_unwatch
e2e_expect_exit 0x00000000
e2e_expect_log "UAC restored"
e2e_expect_equal "restored EnableLUA" "$(e2e_reg_value "$POLICY" EnableLUA)" 0x1
e2e_expect_equal "restored ConsentPromptBehaviorAdmin" "$(e2e_reg_value "$POLICY" ConsentPromptBehaviorAdmin)" 0x5
e2e_expect_equal "backup EnableLUA after the restore" "$(e2e_reg_value "$POLICY\\OvBackup" EnableLUA)" ""
[ -n "$(e2e_product_version 'Security Server')" ] || e2e_fail "the Security Server is not installed"
e2e_finish
