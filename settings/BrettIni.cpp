#include "settings/BrettIni.h"

#include "base/IniText.h"
#include "base/TextRules.h"
#include "settings/ExportSettings.h"

#include "base/AtomicFile.h"

#include <QFileInfo>
#include <QTextCodec>

#include <algorithm>

BrettIni::BrettIni(const QString &path) : m_path(path) { }

bool BrettIni::LoadBrettIni(ExportSettings &settings)
{
    m_errorString.clear();
    // A directory of that name counts as no file, as the host's file checks see it.
    if (!QFileInfo(m_path).isFile())
        return true;
    IniText ini;
    if (!ini.read(m_path)) {
        m_errorString = ini.errorString();
        return false;
    }
    // Every line is read, so the last occurrence of a key wins.
    for (const QString &line : ini.lines()) {
        QString key;
        QString value;
        if (!IniText::splitLine(line, &key, &value))
            continue;
        const ExportSettings::Key k = ExportSettings::keyOf(key);
        if (k != ExportSettings::KeyCount)
            settings.setValue(k, value);
    }
    return true;
}

QByteArray BrettIni::content(const ExportSettings &settings)
{
    QStringList lines;
    for (int i = 0; i < ExportSettings::KeyCount; ++i) {
        const auto key = ExportSettings::Key(i);
        lines << ExportSettings::keyName(key) + u'=' + settings.value(key);
    }
    return IniText::encode(lines);
}

bool BrettIni::SaveBrettIni(const ExportSettings &settings)
{
    m_errorString.clear();
    // The file is Windows-1252, which would turn any other character into "?": no value may
    // change silently, so the old file stays and the message names what could not be kept.
    for (int i = 0; i < ExportSettings::KeyCount; ++i) {
        const auto key = ExportSettings::Key(i);
        const QString &value = settings.value(key);
        const qsizetype pos = TextRules::firstOutsideAnsi(value);
        if (pos < 0)
            continue;
        m_errorString = QStringLiteral("Die Einstellungen konnten nicht in %1 gespeichert "
                                       "werden: %2=%3 enthält das Zeichen %4, das die Datei "
                                       "nicht aufnehmen kann.")
                                .arg(m_path, ExportSettings::keyName(key), value,
                                     TextRules::characterAt(value, pos));
        return false;
    }
    // Windows-1252 bytes that happen to be valid UTF-8 ("Ã¶" alone among the values) would be
    // read back as UTF-8 at the next start, another value than the one saved.
    const QByteArray bytes = content(settings);
    if (IniText::decode(bytes) != TextRules::ansiCodec()->toUnicode(bytes)) {
        for (int i = 0; i < ExportSettings::KeyCount; ++i) {
            const auto key = ExportSettings::Key(i);
            const QString &value = settings.value(key);
            if (std::any_of(value.begin(), value.end(),
                            [](QChar c) { return c.unicode() > 127; })) {
                m_errorString = QStringLiteral("Die Einstellungen konnten nicht in %1 gespeichert "
                                               "werden: %2=%3 würde beim nächsten Start als "
                                               "UTF-8 gelesen.")
                                        .arg(m_path, ExportSettings::keyName(key), value);
                break;
            }
        }
        return false;
    }
    AtomicFile file(m_path);
    if (!file.open() || !file.write(bytes) || !file.commit()) {
        m_errorString = QStringLiteral("Die Einstellungen konnten nicht in %1 gespeichert "
                                       "werden: %2")
                                .arg(m_path, file.errorString());
        return false;
    }
    return true;
}
