// kmSession: construction, destruction, Init and Clear.
#include "session/kmSession.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

kmSession::kmSession() : iNumCores_(kDefaultNumCores) {
  WithCallPath("kmSession()", "kmSession", [&] { Init(); });
}

kmSession::~kmSession() = default;

void kmSession::Init() {
  WithCallPath("Init", "kmSession", [&] {
    InitOptions();
    InitSessionMembers();
  });
}

void kmSession::Clear() {
  WithCallPath("Clear()", "kmSession", [&] { Init(); });
}
