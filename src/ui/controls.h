#pragma once
// Features and the window find the controls the layout built by objectName,
// once. A missing control is a programming error, caught at start-up.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <string>

namespace talvex {

// A text the device or the value tables give (Latin-1), for a control.
inline QString fromStd(const std::string& text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

template <typename T>
T* need(const QObject* root, const QString& name)
{
    T* found = root->findChild<T*>(name);
    if (!found)
        qFatal("control %s is missing", qPrintable(name));
    return found;
}

template <typename T>
T* need(const QObject* root, const char* name)
{
    return need<T>(root, QString::fromLatin1(name));
}

template <typename T>
T* need(const QObject* root, const QByteArray& name)
{
    return need<T>(root, QString::fromLatin1(name));
}

template <typename T>
T* need(const QObject& root, const char* name)
{
    return need<T>(&root, QString::fromLatin1(name));
}

} // namespace talvex
