#include "session/kmDelimiter.h"

#include "session/kmSession.h"

kmDelimiter kmVarCovarDelimiter(const kmSession& session) {
  return static_cast<kmDelimiter>(session.GetInt(kmOptVarCovarDelimiter));
}
