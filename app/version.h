// The executable's version facts, in one place: `ventaro --version` prints
// them and the About dialog shows the maker's name and site from here.
// The About dialog's own label is fixed text of the dialog and does not
// follow these (it has always read a later number than the product).
#pragma once

namespace ventaro::version {

inline constexpr char kFileDescription[] = "Ventaro for Windows 95";
inline constexpr char kProductName[] = "Ventaro for Windows 9x/NT/2000";
inline constexpr char kInternalName[] = "Ventaro";
inline constexpr char kFileVersion[] = "0.1.5.0";
inline constexpr char kProductVersion[] = "0.15 Beta";

// The maker: an invented company on a reserved example domain.
inline constexpr char kCompanyName[] = "Quillmoor Instruments";
inline constexpr char kLegalCopyright[] = "Copyright (C) Quillmoor Instruments";
inline constexpr char kMakerSiteText[] = "www.quillmoor.example";
inline constexpr char kMakerSiteUrl[] = "https://www.quillmoor.example/";

}  // namespace ventaro::version
