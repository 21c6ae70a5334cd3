#pragma once

#include <string>

/// One usable network adapter as the network information reports it. Plain value.
struct NetworkInfo
{
    std::string ip;          ///< the adapter's first IPv4 address, dotted text
    std::string name;        ///< Wi-Fi network name, or the interface's readable name; may be empty
    std::string adapterName; ///< the adapter's system name
    std::string mac;         ///< "AA:BB:CC:DD:EE:FF"
    bool wifi = false;       ///< wireless adapter
    std::string extra;       ///< left empty by the adapter list
};
