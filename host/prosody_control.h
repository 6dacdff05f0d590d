// Speaking rate, pitch and volume asked of the host's concatenation.  Every
// field is a factor on the voice as recorded: 1.0 changes nothing.
#pragma once

struct ProsodyControl {
  double rate = 1.0;         // 2.0 speaks in half the time (0.25 to 4.0)
  double pitch = 1.0;        // factor on the whole pitch contour (0.5 to 2.0)
  double pitch_range = 1.0;  // factor on the contour's excursions around its mean (0 to 2)
  double volume = 1.0;       // factor on the amplitude (0 to 2)

  bool neutral() const { return rate == 1.0 && pitch == 1.0 && pitch_range == 1.0 && volume == 1.0; }
};
