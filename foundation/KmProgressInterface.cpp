#include "foundation/KmProgressInterface.h"

KmProgressInterface::~KmProgressInterface() = default;

void KmProgressInterface::SetRange(int32_t iMinimum, int32_t iMaximum) {
  // Implementations may refuse a minimum that is not below the maximum (and
  // the reverse), so set first the end that stays valid against the other.
  if (iMinimum < GetMaximum()) {
    SetMinimum(iMinimum);
    SetMaximum(iMaximum);
  } else {
    SetMaximum(iMaximum);
    SetMinimum(iMinimum);
  }
}

void KmProgressInterface::SetSubrange(int32_t iMinimum, int32_t iMaximum) {
  if (iMinimum < GetSubrangeMaximum()) {
    SetSubrangeMinimum(iMinimum);
    SetSubrangeMaximum(iMaximum);
  } else {
    SetSubrangeMaximum(iMaximum);
    SetSubrangeMinimum(iMinimum);
  }
}

KmNullProgress::~KmNullProgress() = default;

KmNullProgress& KmNullProgress::GetInstance() {
  static KmNullProgress instance;
  return instance;
}
