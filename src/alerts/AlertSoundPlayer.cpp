#include "AlertSoundPlayer.h"

#include "BundledResources.h"
#include "SoundOutput.h"

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

} // namespace

AlertSoundPlayer::AlertSoundPlayer(SoundOutput &output, QObject *parent)
    : QObject(parent), m_output(output)
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
    if (!m_folder) {
        m_folder = std::make_unique<QTemporaryDir>();
        if (!m_folder->isValid()) {
            const QString reason = m_folder->errorString();
            m_folder.reset();
            writeLine(QStringLiteral("Unable to load bundled alert sound ") + fileName +
                      QStringLiteral(": ") + reason);
            return std::nullopt;
        }
    }
    const QString target = m_folder->filePath(fileName);
    QFile::remove(target);
    QFile source(*resource);
    if (!source.copy(target)) {
        writeLine(QStringLiteral("Unable to load bundled alert sound ") + fileName +
                  QStringLiteral(": ") + source.errorString());
        return std::nullopt;
    }
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
