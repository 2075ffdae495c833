#include "about/about_sources.h"

#include <QLocale>
#include <array>
#include <charconv>

#include "common/app_info.h"
#include "platform/process/system_info.h"

namespace mv::ui {

AboutSources SystemAboutSources() {
    const SystemInfo system = ReadSystemInfo();
    AboutSources s;
    s.fileVersion = FileVersionText(kVersion);
    s.prettyName = system.prettyName;
    s.release = system.release;
    s.version = system.version;
    s.physicalMemoryBytes = system.physicalMemoryBytes;
    s.groupSeparator = QLocale::system().groupSeparator();
    return s;
}

std::string FileVersionText(std::string_view buildVersion) {
    std::array<uint16_t, 4> parts{};
    size_t count = 0;
    const char* p = buildVersion.data();
    const char* const end = p + buildVersion.size();
    while (p != end) {
        if (count == parts.size()) return {};
        const auto [next, error] = std::from_chars(p, end, parts[count++]);
        if (error != std::errc() || (next != end && *next != '.')) return {};
        p = next == end ? end : next + 1;
    }
    if (count == 0) return {};
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
           std::to_string(parts[2]) + "." + std::to_string(parts[3]);
}

QString OsLine(const AboutSources& s) {
    return QStringLiteral("%1 (Linux %2, Build %3)")
        .arg(QString::fromStdString(s.prettyName), QString::fromStdString(s.release),
             QString::fromStdString(s.version));
}

QString MemoryLine(const AboutSources& s) {
    const QString separator = s.groupSeparator.isEmpty() ? QStringLiteral(",") : s.groupSeparator;
    const QString digits = QString::number(s.physicalMemoryBytes / 1024);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += separator;
        grouped += digits[i];
    }
    return QStringLiteral("Memory Available to Linux: ") + grouped + QStringLiteral(" Kb");
}

}  // namespace mv::ui
