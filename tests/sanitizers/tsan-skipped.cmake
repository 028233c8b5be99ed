# Tests that the ThreadSanitizer build (scripts/test --tsan) does not run,
# because what they exercise is ordered inside libraries built without the
# sanitizer, so that every cross-thread step is reported whether or not it is
# ordered. Everything else runs.
set(skipped
  # libvlc and FFmpeg hand decoded buffers between their threads with their
  # own atomic counters (av_buffer_unref against av_malloc on another thread).
  player_widget_test
  tst_player_show_usb
  tst_player_show_ble
  tst_video_input
  # The colour tool's poll thread hands every cycle to the GUI thread with a
  # blocking queued call; Qt orders it inside its event queue, so each
  # hand-over is reported (the poll loop's own step function and context).
  tst_poller
  tst_vantrel_window
  tst_favourites
  tst_colour_devices
  tst_colour_faults
  tst_favourites_input
  # Qt's xcb platform reads the X connection on a thread of its own; at
  # the end libxcb destroys the connection's lock while that thread's last
  # use of it is ordered by Qt alone.
  tst_player_full_screen_usb
  # The programs themselves in an X session: all of the above at once, and
  # GCC 12's ThreadSanitizer runtime fails its own allocator check
  # (sanitizer_allocator_secondary.h:297) in them under Qt's xcb platform.
  tst_startup
  tst_skeel_exit
  tst_player_exit_usb
  tst_player_exit_ble
  tst_colour_exit
)
