#pragma once

#include <QMetaType>
#include <QString>

/// The signed-in user as the client's own account pages know it: user name (the phone number),
/// name, nickname, session token, the password as typed at the sign-in, identifier. A plain value;
/// the token and the password are never logged. An all-empty record means "nobody signed in".
struct LoginUserInfo
{
    QString userName;
    QString name;
    QString nickName;
    QString token;
    QString password;
    QString uuid;

    /// The name, or the user name when the name is empty.
    QString displayName() const { return name.isEmpty() ? userName : name; }
};
Q_DECLARE_METATYPE(LoginUserInfo)
