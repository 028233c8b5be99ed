# Tests that the ThreadSanitizer build (scripts/test --tsan) does not run,
# because what they exercise is ordered inside libraries built without the
# sanitizer, so that every cross-thread step is reported whether or not it is
# ordered. Everything else runs.
set(skipped
  # libvlc and FFmpeg hand decoded buffers between their threads with their
  # own atomic counters (av_buffer_unref against av_malloc on another thread).
  # The show player's window also goes full screen, and Qt's xcb platform
  # reads the X connection on a thread of its own; at the end libxcb destroys
  # the connection's lock while that thread's last use of it is ordered by Qt
  # alone.
  tst_player_widget
  tst_tz3_player_main_usb
  tst_tz3_player_main_ble
  tst_video_start
  # The colour tool's poll thread hands every cycle to the GUI thread with a
  # blocking queued call; Qt orders it inside its event queue, so each
  # hand-over is reported (the poll loop's own step function and context).
  tst_poll_loop
  tst_vantrel
  tst_favourites
  # The programs themselves in an X session (also in the headless
  # rehearsal): all of the above at once, and
  # GCC 12's ThreadSanitizer runtime fails its own allocator check
  # (sanitizer_allocator_secondary.h:297) in them under Qt's xcb platform.
  tst_pulsetra_usb
  tst_pulsetra_ble
  tst_skeel
  rehearsal_usb
  rehearsal_ble
)
