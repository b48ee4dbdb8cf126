#include "AlertSoundPlayer.h"

#include "AppPaths.h"
#include "AtomicFile.h"
#include "BundledResources.h"
#include "SoundOutput.h"

#include <QDir>
#include <QFile>
#include <QTextStream>
#include <cstdio>

namespace varnello {

namespace {

void writeLine(const QString &line)
{
    QTextStream out(stdout);
    out << line << Qt::endl;
}

std::optional<QString> soundsFolder()
{
    const auto cache = AppPaths::cacheFolder();
    if (!cache)
        return std::nullopt;
    return *cache + QStringLiteral("/sounds");
}

} // namespace

AlertSoundPlayer::AlertSoundPlayer(SoundOutput &output, QObject *parent)
    : QObject(parent), m_output(output), m_folder(soundsFolder())
{
    m_alert1Path = loadBundledAlertSound(QStringLiteral("alert1"));
    m_alert2Path = loadBundledAlertSound(QStringLiteral("alert2"));
}

AlertSoundPlayer::~AlertSoundPlayer() = default;

AlertSoundPlayer &AlertSoundPlayer::shared()
{
    static SoundOutput *output = SoundOutput::createSystemOutput().release();
    static auto *player = new AlertSoundPlayer(*output);
    return *player;
}

std::optional<QString> AlertSoundPlayer::loadBundledAlertSound(const QString &name)
{
    const QString fileName = name + QStringLiteral(".wav");
    const auto resource = BundledResources::url(name, QStringLiteral("wav"));
    if (!resource) {
        writeLine(QStringLiteral("Unable to find bundled alert sound ") + fileName);
        return std::nullopt;
    }
    const auto failed = [&fileName](const QString &reason) {
        writeLine(QStringLiteral("Unable to load bundled alert sound ") + fileName +
                  QStringLiteral(": ") + reason);
        return std::optional<QString>();
    };
    if (!m_folder)
        return failed(QStringLiteral("no cache folder"));
    QFile source(*resource);
    if (!source.open(QIODevice::ReadOnly))
        return failed(source.errorString());
    const QByteArray bytes = source.readAll();
    if (!QDir().mkpath(*m_folder))
        return failed(QStringLiteral("cannot create ") + *m_folder);
    // A fixed place rather than a temporary folder, so that neither a crash nor a process that
    // never destroys its player leaves a copy behind. Copies running side by side share the
    // files: one is replaced whole, and only when it differs, so no copy plays half a file.
    // The names are the program's own: whatever else has one is replaced, never written
    // through (a link's file belongs to someone else) or opened (a FIFO would block the start).
    const QString target = *m_folder + QLatin1Char('/') + fileName;
    AtomicFile::removeLeftovers(target);
    if (AtomicFile::holds(target, bytes))
        return target;
    const auto error = AtomicFile::replace(
        target, bytes, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther,
        AtomicFile::Mode::bestEffort);
    if (error)
        return failed(*error);
    return target;
}

void AlertSoundPlayer::play(AlertSoundChoice choice)
{
    const std::optional<QString> *path = nullptr;
    switch (choice) {
    case AlertSoundChoice::appleDefault:
        break;
    case AlertSoundChoice::alert1:
        path = &m_alert1Path;
        break;
    case AlertSoundChoice::alert2:
        path = &m_alert2Path;
        break;
    }
    if (path && *path)
        m_output.playFile(**path);
    else
        m_output.playBeep();
}

} // namespace varnello
