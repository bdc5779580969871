#!/bin/bash
# Checks the built deliverables as a Windows loader would see them: the store library's export table
# is exactly the documented one, and nothing depends on a mingw runtime DLL.
set -u
bin=$1 objdump=$2
status=0
expected="addReminder cloneReminder createGroup createReminder deleteAllReminders deleteGroup deleteReminder
findBuiltinGroupName findReminder freeReminder freeReminderList getGroups getReminders incrementReminder
isGroupNameValid isRemDue isReminderNameValid moveReminder openRemindersKey removeReminder renameReminder
restoreDefaultReminders saveReminder translateReminders"
exports=$("$objdump" -p "$bin/reminders.dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    grep -E '^\s*\[ *[0-9]+\] ' | awk '{print $NF}' | sort)
want=$(echo $expected | tr ' ' '\n' | sort)
if [ "$exports" != "$want" ]; then
    echo "reminders.dll exports differ:"; diff <(echo "$want") <(echo "$exports"); status=1
fi
for f in "$bin"/*.exe "$bin"/*.dll; do
    case $(basename "$f") in *_tests.exe|mutex_probe.exe) continue ;; esac
    bad=$("$objdump" -p "$f" | grep 'DLL Name' | grep -iE 'libgcc|libstdc|libwinpthread|mingw' || true)
    [ -n "$bad" ] && { echo "$(basename "$f") needs a mingw runtime DLL: $bad"; status=1; }
    echo "$(basename "$f"): $("$objdump" -p "$f" | grep 'DLL Name' | awk '{print $3}' | tr '\n' ' ')"
done
exit $status
