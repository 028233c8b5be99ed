# Tests the ThreadSanitizer build does not run: what they exercise is ordered
# inside libraries built without the sanitizer, so every step is reported.
set(skipped
  # libvlc and FFmpeg hand decoded buffers over with their own atomic
  # counters; libxcb destroys the X connection's lock while Qt's xcb reader
  # thread's last use of it is ordered by Qt alone.
  tst_player_widget
  tst_tz3_player_main_usb
  tst_tz3_player_main_ble
  tst_video_start
  # The poll thread's blocking queued hand-over is ordered inside Qt's queue.
  tst_poll_loop
  tst_vantrel
  tst_favourites
  # The programs in an X session: all of the above, and GCC 12's runtime
  # fails its own allocator check (sanitizer_allocator_secondary.h:297).
  tst_pulsetra_usb
  tst_pulsetra_ble
  tst_skeel
  rehearsal_usb
  rehearsal_ble
)
