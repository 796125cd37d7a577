#!/usr/bin/env bash
# Makes the welcome window's two videos, resources/UseDesktop.mov and
# resources/appusage.mov, from ffmpeg's built-in sources: small QuickTime
# files (H.264, low resolution and frame rate, a few seconds) that the bundle
# carries. The output is the same on every run with the same ffmpeg, so the
# committed files can be remade and compared. Needs ffmpeg (Debian package
# "ffmpeg"; installed when missing). Not part of the build or of CI.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v ffmpeg >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends ffmpeg
fi

# Text only when a font is there; the pictures say enough without it.
font=""
for f in /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf \
         /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf; do
  if [ -f "$f" ]; then font=$f; break; fi
done
text() {  # text WORDS X Y SIZE [ENABLE]
  [ -n "$font" ] || return 0
  printf ",drawtext=fontfile=%s:text='%s':x=%s:y=%s:fontsize=%s:fontcolor=white" \
    "$font" "$1" "$2" "$3" "$4"
  [ -z "${5:-}" ] || printf ":enable='%s'" "$5"
}

encode() {  # encode OUTPUT SECONDS FILTERS
  ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "color=c=0x3a6ea5:s=192x120:r=8:d=$2,format=gbrp,$3,format=yuv420p" \
    -c:v libx264 -preset veryslow -crf 32 -tune animation -threads 1 \
    -g 24 -bf 0 -x264-params "deterministic=1:sliced-threads=0" \
    -map_metadata -1 -fflags +bitexact -flags:v +bitexact -movflags +faststart \
    -f mov "$1"
}

# A desktop with two windows; over it the overlay's dots, inverting what lies
# beneath, scroll as a moving car would shift them.
dots="geq=r='if(lt(hypot(mod(X+3*N\,16)-8\,mod(Y+N\,16)-8)\,2.5)\,255-r(X\,Y)\,r(X\,Y))'"
dots+=":g='if(lt(hypot(mod(X+3*N\,16)-8\,mod(Y+N\,16)-8)\,2.5)\,255-g(X\,Y)\,g(X\,Y))'"
dots+=":b='if(lt(hypot(mod(X+3*N\,16)-8\,mod(Y+N\,16)-8)\,2.5)\,255-b(X\,Y)\,b(X\,Y))'"
desktop="drawbox=x=14:y=12:w=96:h=62:color=0xf2f2f2:t=fill"
desktop+=",drawbox=x=14:y=12:w=96:h=9:color=0x8a8a8a:t=fill"
desktop+=",drawbox=x=22:y=30:w=70:h=4:color=0x9aa7b5:t=fill"
desktop+=",drawbox=x=22:y=40:w=56:h=4:color=0x9aa7b5:t=fill"
desktop+=",drawbox=x=96:y=46:w=82:h=56:color=0xe7e1d2:t=fill"
desktop+=",drawbox=x=96:y=46:w=82:h=9:color=0x7d7466:t=fill"
encode resources/UseDesktop.mov 3 "$desktop,$dots$(text 'Motion cues' 8 104 11)"

# The phone with the companion app, rocking gently, and what to do with it.
phone="drawbox=x='24+4*sin(2*PI*t)':y=14:w=44:h=86:color=0x1c1c1e:t=fill"
phone+=",drawbox=x='28+4*sin(2*PI*t)':y=22:w=36:h=66:color=0x5ec8f2:t=fill"
phone+=",drawbox=x='42+4*sin(2*PI*t)':y=92:w=8:h=4:color=0x8e8e93:t=fill"
phone+=",drawbox=x='40+4*sin(2*PI*t)+6*mod(floor(4*t)\,4)':y=52:w=4:h=4:color=white:t=fill"
encode resources/appusage.mov 2 \
  "$phone$(text 'Open the app' 84 36 12)$(text 'on your phone' 84 52 12)$(text 'then pick it' 84 72 10 'gte(t,1)')$(text 'in the menu' 84 86 10 'gte(t,1)')"

ls -l resources/UseDesktop.mov resources/appusage.mov >&2
