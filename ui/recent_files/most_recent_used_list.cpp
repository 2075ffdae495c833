#include "recent_files/most_recent_used_list.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <algorithm>
#include <charconv>

#include "common/error_display.h"
#include "platform/error/exception.h"
#include "platform/settings_file/settings_file.h"
#include "platform/text/text_trim.h"

namespace mv::ui {

namespace {

constexpr std::string_view kSection = "MRU";
constexpr std::string_view kTotal = "Total";

// A whole decimal number and nothing else (blanks aside), or nothing.
std::optional<size_t> ParseDecimal(std::string_view text) {
    text = TrimBlanksAndControls(text);
    size_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

// The file names stored at "0".."Total-1", in order; a missing or empty one
// is left out. "Total" is read as 0 when it is missing or not a number, and
// no more entries are read than the section holds values.
std::vector<std::string> StoredNames(const SettingsValues& values) {
    size_t total = 0;
    for (const auto& [key, value] : values) {
        if (SameName(key, kTotal)) total = std::min(ParseDecimal(value).value_or(0), values.size());
    }
    std::vector<std::string> names(total);
    for (const auto& [key, value] : values) {
        const std::optional<size_t> index = ParseDecimal(key);
        if (index && *index < total && std::to_string(*index) == key) names[*index] = value;
    }
    std::erase_if(names, [](const std::string& name) { return name.empty(); });
    return names;
}

}  // namespace

TMostRecentUsedList::TMostRecentUsedList(std::filesystem::path configHome, QObject* parent)
    : QObject(parent), configHome_(std::move(configHome)), separator_(new QAction(this)) {
    separator_->setSeparator(true);
}

TMostRecentUsedList::~TMostRecentUsedList() {
    if (!loaded_) return;  // a list never loaded must not replace the stored one
    try {
        SaveToRegistry();
    } catch (...) {
        // The program is ending; the list was saved at its last change.
    }
}

QMenu* TMostRecentUsedList::MenuToAttach() const {
    return menu_;
}

void TMostRecentUsedList::SetMenuToAttach(QMenu* menu) {
    menu_ = menu;
}

void TMostRecentUsedList::SetRegistryKey(std::string key) {
    if (key == registryKey_) return;
    registryKey_ = std::move(key);
    if (loaded_) LoadFromRegistry();
}

void TMostRecentUsedList::Loaded() {
    if (menu_ == nullptr) throw Exception("MenuToAttach have to be assigned before");
    loaded_ = true;
    LoadFromRegistry();
}

void TMostRecentUsedList::AddFilename(const QString& filename) {
    if (menu_ == nullptr) throw Exception("MenuToAttach have to be assigned before");
    RemoveMenuItems();
    const int found = Find(filename);
    if (found >= 0) {
        MoveToFront(static_cast<size_t>(found));
    } else {
        entries_.insert(entries_.begin(), {filename, NewItem()});
        while (entries_.size() > static_cast<size_t>(std::max(MaxEntries, 0)))
            DropEntry(entries_.size() - 1);
    }
    InsertMenuItems();
    SaveToRegistry();
}

void TMostRecentUsedList::LoadFromRegistry() {
    if (menuBuilt_) RemoveMenuItems();
    while (!entries_.empty())
        DropEntry(entries_.size() - 1);
    if (!registryKey_.empty()) {
        const SettingsFile file(SettingsFile::PathForKey(registryKey_, configHome_));
        for (const std::string& name : StoredNames(file.ReadSection(kSection)))
            entries_.push_back({QString::fromStdString(name), NewItem()});
    }
    if (menu_ != nullptr) InsertMenuItems();
}

bool TMostRecentUsedList::SaveToRegistry() {
    if (registryKey_.empty()) return true;
    SettingsFile file(SettingsFile::PathForKey(registryKey_, configHome_));
    SettingsValues values;
    for (size_t i = 0; i < entries_.size(); ++i)
        values.emplace_back(std::to_string(i), entries_[i].filename.toStdString());
    values.emplace_back(kTotal, std::to_string(entries_.size()));
    const bool saved = file.CreateFolder() && file.WriteSection(kSection, values);
    if (!saved && !saveFailed_ && OnSaveFailed)
        OnSaveFailed(QString::fromStdString(file.LastError()));
    saveFailed_ = !saved;
    return saved;
}

void TMostRecentUsedList::RemoveMenuItems() {
    if (menu_ != nullptr) {
        menu_->removeAction(separator_);
        for (const Entry& entry : entries_)
            menu_->removeAction(entry.item);
    }
    menuBuilt_ = false;
}

void TMostRecentUsedList::InsertMenuItems() {
    if (menu_ == nullptr) return;
    const QList<QAction*> items = menu_->actions();
    const qsizetype at = MenuIndex < 0 ? items.size() : MenuIndex;
    QAction* before = at < items.size() ? items.at(at) : nullptr;
    if (AddSeparator && !entries_.empty()) menu_->insertAction(before, separator_);
    for (size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].item->setText(Caption(i));
        menu_->insertAction(before, entries_[i].item);
    }
    menuBuilt_ = true;
}

QStringList TMostRecentUsedList::Filenames() const {
    QStringList names;
    for (const Entry& entry : entries_)
        names << entry.filename;
    return names;
}

QAction* TMostRecentUsedList::NewItem() {
    auto* item = new QAction(this);
    connect(item, &QAction::triggered, this, [this, item] {
        QWidget* owner = menu_ != nullptr && menu_->parentWidget() != nullptr
                             ? menu_->parentWidget()->window()
                             : nullptr;
        RunCommand(owner, [this, item] { EntryClick(item); });
    });
    return item;
}

void TMostRecentUsedList::DropEntry(size_t index) {
    QAction* item = entries_[index].item;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    if (menu_ != nullptr) menu_->removeAction(item);
    item->deleteLater();  // it may be the entry being clicked
}

void TMostRecentUsedList::MoveToFront(size_t index) {
    std::rotate(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(index),
                entries_.begin() + static_cast<std::ptrdiff_t>(index) + 1);
}

int TMostRecentUsedList::Find(const QString& filename) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].filename.compare(filename, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QString TMostRecentUsedList::Caption(size_t index) const {
    QString name = entries_[index].filename;
    if (OnDrawFilename) {
        OnDrawFilename(static_cast<int>(index) + 1, name);
        return name;
    }
    if (FilenameStyle == dsShort) name = QFileInfo(name).fileName();
    // A "&" of the name is shown as it stands, not taken for an access key.
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(QString::number(index + 1), name);
}

void TMostRecentUsedList::EntryClick(QAction* item) {
    const auto clicked = std::find_if(entries_.begin(), entries_.end(),
                                      [item](const Entry& e) { return e.item == item; });
    if (clicked == entries_.end()) return;
    const QString chosen = clicked->filename;
    if (OnSelectFilename) OnSelectFilename(chosen);  // an error ends the click here
    // The handler may have moved it first already (opening the file adds it).
    const int now = Find(chosen);
    if (now <= 0) return;
    RemoveMenuItems();
    MoveToFront(static_cast<size_t>(now));
    InsertMenuItems();
    SaveToRegistry();
}

}  // namespace mv::ui
