#pragma once

#include <QLoggingCategory>
#include <QStringList>

#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcSocketServer)

// The three connections of a session, one listening port each.
enum class Role { Verify, Info, File };
constexpr Role kRoles[] = {Role::Verify, Role::Info, Role::File};

QString roleName(Role role);
std::optional<Role> roleFromName(const QString &name);

// One event line on stdout: fields joined by TAB, UTF-8, flushed at once so a
// test reading the pipe sees it immediately.
void writeEvent(const QStringList &fields);
