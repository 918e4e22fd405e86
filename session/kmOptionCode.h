// The typed face of the session's coded options: an option whose stored
// value is one of a few codes is read and written as its enum class, never
// as a bare number. Each enum names its option by a specialisation of
// kmCodedOption next to its declaration:
//
//   enum class kmErrorModel : int { kConstantVariance = 0, ... };
//   template <> struct kmCodedOption<kmErrorModel> {
//     static constexpr int kId = kmOptHetErrorModel;
//   };
//
// and kmSession::Get<kmErrorModel>() reads it. The stored codes, and so
// every file layout, are the enumerators' values.
#ifndef KM_SESSION_KMOPTIONCODE_H
#define KM_SESSION_KMOPTIONCODE_H

// The option identifier (kmOptionId) a coded enum is stored under.
template <typename Code>
struct kmCodedOption;

#endif  // KM_SESSION_KMOPTIONCODE_H
