#pragma once

#include <QString>

/// Name (Id) of the active NetworkManager connection on the wireless device with this MAC, or on
/// the first activated wireless device when none has it. Empty when NetworkManager does not run,
/// there is no system bus, or no wireless device is activated. Blocking D-Bus calls with a short
/// time-out each; callable from any thread; never starts NetworkManager.
QString qnNmWifiNetworkName(const QString &mac);
