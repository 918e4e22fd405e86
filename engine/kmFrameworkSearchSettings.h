// kmFrameworkSearchSettings: the settings that the grid searches run
// through the model framework (the jump-model and comparison searches)
// take from the session alike.
#ifndef KM_ENGINE_KMFRAMEWORKSEARCHSETTINGS_H
#define KM_ENGINE_KMFRAMEWORKSEARCHSETTINGS_H

#include <cstdint>

#include "models/KMRegModelSettings.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

// The framework's settings for a search of exactly k kinkmarks over D data
// sets: the levels and the spacing of the kinkmarks from the session, the
// jump location given; every other member keeps its default.
inline KMRegModelSettings FrameworkSearchSettings(const kmSession& session,
                                                  int D, uint16_t k,
                                                  double dJumpLocation) {
  KMRegModelSettings settings;
  settings.nDataSets = D;
  settings.alpha = session.GetDouble(kmOptKinkmarkAlpha);
  settings.permutationAlpha = session.GetDouble(kmOptPermSignificance);
  settings.jumpLocation = dJumpLocation;
  settings.minKinkmarks = k;
  settings.maxKinkmarks = k;
  settings.minObsAtEnds = session.GetInt(kmOptMinObsEnd);
  settings.minObsBetween = session.GetInt(kmOptMinObsBetween);
  settings.gridPointsBetween = session.GetInt(kmOptGridPointsBetween);
  return settings;
}

#endif  // KM_ENGINE_KMFRAMEWORKSEARCHSETTINGS_H
