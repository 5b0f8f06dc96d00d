#include "platform/module.h"

#include "base/descriptor.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>

#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {
namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("platform", text);
}

// Whether a file with `module`'s owner and mode is trusted as far as the executable is.
bool trustedAs(const struct stat &module, const struct stat &executable)
{
    constexpr mode_t kOthersWrite = S_IWGRP | S_IWOTH;
    const mode_t loose = module.st_mode & kOthersWrite;
    return S_ISREG(module.st_mode) && module.st_uid == executable.st_uid
        && (loose & ~(executable.st_mode & kOthersWrite)) == 0
        && (!(loose & S_IWGRP) || module.st_gid == executable.st_gid);
}

base::Expected<void *> load(const QByteArray &path)
{
    const QString shown = QFile::decodeName(path);
    const base::Descriptor fd(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat module
    {
    }, executable {};
    if (!fd.isOpen() || ::fstat(fd.get(), &module) != 0)
        return base::unexpected(tr("%1: %2.").arg(shown, qt_error_string(errno)));
    if (::stat("/proc/self/exe", &executable) != 0 || !trustedAs(module, executable))
        return base::unexpected(tr("%1 is not installed with the program (another owner, or "
                                   "others may change it): Kelvane does not run it.")
                                    .arg(shown));
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd.get());
    // Kept loaded: what it registers with Qt lives as long as the application.
    void *handle = ::dlopen(self.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return base::unexpected(
            tr("%1 cannot be loaded: %2.").arg(shown, QString::fromLocal8Bit(::dlerror())));
    return handle;
}

} // namespace

base::Expected<void *> moduleSymbol(QByteArrayView name, const char *symbol)
{
    static QHash<QByteArray, void *> loaded;
    const QByteArray path = programFolder() + '/' + name.toByteArray();
    void *handle = loaded.value(path);
    if (!handle) {
        base::Expected<void *> opened = load(path);
        if (!opened)
            return opened;
        handle = loaded.insert(path, *opened).value();
    }
    if (void *found = ::dlsym(handle, symbol))
        return found;
    return base::unexpected(tr("%1 lacks %2: it does not belong to this version of Kelvane.")
                                .arg(QFile::decodeName(path), QLatin1String(symbol)));
}

} // namespace platform
