#!/bin/sh
# Coralbridge demo installer. platform-sim serves it as the installer of every demo version: it
# installs nothing, it only shows that the client downloaded it and started it after the user
# agreed to update.
text="Coralbridge demo installer (served by platform-sim).
The client downloaded this file and started it after you agreed to update.
Nothing is installed: this is the demo's stand-in for the real setup program."
echo "$text"
date "+%F %T Coralbridge demo installer ran: $0" >>"${TMPDIR:-/tmp}/coralbridge-demo-installer.log"
if [ -n "${DISPLAY:-}" ] && command -v xmessage >/dev/null 2>&1; then
    xmessage -center -title "Coralbridge" "$text"
fi
