#!/bin/sh
# Regenerates the small media files the video surface tests play (a short
# clip with picture and sound, a 4K clip whose frames are slow to decode, a
# sound-only file and a file libvlc finds no track in) and the eight-second sample video that scripts/rehearse shows.
# Needs ffmpeg. Kept small so they can live in the repository.
set -eu
cd "$(dirname "$0")"

ffmpeg -v error -y \
  -f lavfi -i testsrc=size=160x120:rate=25:duration=2 \
  -f lavfi -i sine=frequency=440:sample_rate=22050:duration=2 \
  -c:v libx264 -preset veryslow -crf 35 -pix_fmt yuv420p \
  -c:a aac -b:a 32k -ac 1 \
  -map_metadata -1 -fflags +bitexact -flags:v +bitexact -flags:a +bitexact \
  -movflags +faststart clip_2s.mp4

ffmpeg -v error -y \
  -f lavfi -i testsrc=size=3840x2160:rate=30:duration=1.5 \
  -c:v libx265 -preset ultrafast -x265-params log-level=error -pix_fmt yuv420p \
  -map_metadata -1 -fflags +bitexact -flags:v +bitexact clip_4k.mp4

ffmpeg -v error -y \
  -f lavfi -i sine=frequency=660:sample_rate=22050:duration=1 \
  -c:a libvorbis -q:a 0 -ac 1 \
  -map_metadata -1 -fflags +bitexact -flags:a +bitexact \
  tone_1s.ogg

ffmpeg -v error -y \
  -f lavfi -i testsrc2=size=640x360:rate=25:duration=8 \
  -f lavfi -i sine=frequency=440:beep_factor=4:sample_rate=22050:duration=8 \
  -c:v libx264 -preset veryslow -crf 32 -pix_fmt yuv420p \
  -c:a aac -b:a 32k -ac 1 \
  -map_metadata -1 -fflags +bitexact -flags:v +bitexact -flags:a +bitexact \
  -movflags +faststart -shortest sample_show.mp4

printf 'This is a plain text file; it holds no audio or video track.\n' > notes.txt
