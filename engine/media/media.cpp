// Media playback lives here.
