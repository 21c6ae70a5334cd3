#pragma once

#include <QMetaType>
#include <QString>

/// One receiver found on the LAN (or by connection code). Plain value, copied freely.
struct QnLynItemInfo
{
    QString ip;     ///< the receiver's IPv4 address, dotted
    QString url;    ///< its upload address: "http://" + ip + the announced path (":1989/file")
    QString id;     ///< its device identity; the key of the discovery list
    QString name;   ///< display name
    QString code;   ///< six-digit connection code
    int port = 0;   ///< signalling port
    QString roomId; ///< room on its signalling service

    /// Two records differ when their ip, id or code differ; name, url, port and roomId do not count.
    bool differs(const QnLynItemInfo &other) const
    {
        return ip != other.ip || id != other.id || code != other.code;
    }
};

Q_DECLARE_METATYPE(QnLynItemInfo)
