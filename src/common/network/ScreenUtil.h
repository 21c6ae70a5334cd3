#pragma once

#include "common/network/NetworkInfo.h"

#include <map>
#include <string>

class QnNetAdapterSource;

/// Network information: the PC's usable adapters and its name. Stateless; callable from any thread.
/// The overloads taking a source run on injected adapters; the others read the live system.
class ScreenUtil
{
public:
    /// Usable adapters keyed by IPv4 address text (the map's order is the text order): Ethernet and
    /// wireless adapters that are not virtual, whose link is up, that have an IPv4 address and a
    /// default gateway. The first adapter with a given address wins.
    static std::map<std::string, NetworkInfo> getLocalIps();
    static std::map<std::string, NetworkInfo> getLocalIps(const QnNetAdapterSource &source);

    /// The adapter in use: the first wireless one in map order, else the first wired one, else an
    /// empty record.
    static NetworkInfo chooseAdapter(const std::map<std::string, NetworkInfo> &adapters);

    /// The computer's host name; empty (and logged) when it cannot be read.
    static std::string getComputerName();

    /// Wireless: the Wi-Fi network name in use; wired: the interface name of the adapter with this MAC.
    static std::string getConnectionName(bool wifi, const std::string &mac);
    static std::string getConnectionName(const QnNetAdapterSource &source, bool wifi, const std::string &mac);

    /// True when the adapter with this interface index exists and its link is operational.
    static bool isAdapterUp(unsigned long ifIndex);
};
