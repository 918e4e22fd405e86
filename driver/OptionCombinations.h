// The check of option combinations that the calculation has no computation
// for, made once the session holds every option of the run (its definition
// with the run options over it) and before any cohort is read or fitted: a
// run of such a combination would otherwise stop every cohort, or print
// figures it never computed.
#ifndef KM_DRIVER_OPTIONCOMBINATIONS_H
#define KM_DRIVER_OPTIONCOMBINATIONS_H

#include "foundation/KmString.h"

class kmSession;

// Refuses the session's option combinations that no fit serves, naming both
// options of each in the words of the run-options file:
//  - a jump model or comparability ratio ("jump model", "comparability
//    ratio") under Hudson's method ("method = hudsons"), which fits no jump;
//  - a jump model or comparability ratio with resampled intervals ("ci
//    method" empirical quantile or resampled t): the resampled refits have
//    no jump;
//  - pairwise comparisons ("pairwise") under data-dependent selection
//    ("model selection method = data dependent selection"), which selects
//    no joint model of a comparison;
//  - "delay type = delay" or "both" without the delay-adjusted statistics
//    of a data dictionary (sSessionFile names the session definition), or
//    with a dictionary that lacks the delay-adjusted rate (the delay count
//    when counts are fitted) or, under the "standard error" model, the
//    delay-adjusted standard error;
//  - "delay type = non-delay" or "both" with a dictionary of delay-adjusted
//    statistics that lacks the observed rate (the count when counts are
//    fitted) that the non-delay copies read.
// Throws: KmException (kind 3, source "ValidateOptionCombinations()") whose
// message holds one line per refused combination.
void ValidateOptionCombinations(const kmSession& session,
                                const KmString& sSessionFile);

#endif  // KM_DRIVER_OPTIONCOMBINATIONS_H
