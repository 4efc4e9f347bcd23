// The settings file format: a "TPF0" tagged byte stream of property records, written and read
// byte for byte as the store's own persisted form.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

class TToraVinIniList;

// Serialises the store.
std::string WriteSettingsImage(const TToraVinIniList& store);

// Parses `data` into the store, adding work-list entries as they are read. Throws ESettingsError
// with the fault's text at the first fault; what was read before it stays.
void ReadSettingsImage(std::string_view data, TToraVinIniList& store);

}  // namespace toravin
