#pragma once

// Where the program's links lead.
namespace Links {

inline constexpr char kHomePage[] = "https://www.example.org/clipwright/";
inline constexpr char kMakerSite[] = "https://www.example.org/";
inline constexpr char kUpdateCheck[] = "https://www.example.org/clipwright/update";
inline constexpr char kDonation[] = "https://www.example.org/donate";

}  // namespace Links
