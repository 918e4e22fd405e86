// kmSession: construction, destruction, Init and Clear.
#include "session/kmSession.h"

#include "foundation/KmException.h"

kmSession::kmSession() : iNumCores_(kDefaultNumCores) {
  try {
    Init();
  } catch (KmException& e) {
    e.AddCallPath("kmSession()", "kmSession");
    throw;
  }
}

kmSession::~kmSession() = default;

void kmSession::Init() {
  try {
    InitOptions();
    InitSessionMembers();
  } catch (KmException& e) {
    e.AddCallPath("Init", "kmSession");
    throw;
  }
}

void kmSession::Clear() {
  try {
    Init();
  } catch (KmException& e) {
    e.AddCallPath("Clear()", "kmSession");
    throw;
  }
}
