// The recently used files (TMostRecentUsedList): the names of the files used
// last, most recent first, shown as numbered entries in a menu and kept in
// the settings store between runs. It knows nothing of projects: the owner
// adds a name after every open and save and is told when an entry is picked.
//
// Store layout, below RegistryKey: the section "MRU" with the values "0" to
// "n-1" (the full paths, most recent first) and "Total" (n), all texts.
//
// The list is saved whenever it changes, not only when the component ends,
// so a program that is killed or crashes still offers the files of that run
// at its next start; it is saved once more when the component ends. Each
// save replaces the whole section in one atomic write of the settings file.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace mv::ui {

enum TFilenameStyle { dsShort, dsFull };

class TMostRecentUsedList final : public QObject {
    Q_OBJECT
  public:
    // `configHome` is the folder of the settings store (empty: the user's).
    explicit TMostRecentUsedList(std::filesystem::path configHome = {}, QObject* parent = nullptr);
    ~TMostRecentUsedList() override;  // saves the list

    // ---- Properties, set before Loaded() ----
    QMenu* MenuToAttach() const;
    void SetMenuToAttach(QMenu* menu);
    // The key path below which the list is stored; changing it once the
    // component is loaded loads the list from the new place.
    const std::string& RegistryKey() const { return registryKey_; }
    void SetRegistryKey(std::string key);

    TFilenameStyle FilenameStyle = dsShort;
    int MaxEntries = 5;        // most entries kept when a name is added
    int MenuIndex = -1;        // where the entries begin; -1: after the last item
    bool AddSeparator = true;  // a separator before the entries, when there are any
    std::function<void(const QString& filename)> OnSelectFilename;
    // Supplies an entry's caption from its 1-based position and file name.
    std::function<void(int index, QString& filename)> OnDrawFilename;
    // The list could not be saved (with the reason, when known); told once,
    // and again only after a save has succeeded in between.
    std::function<void(const QString& why)> OnSaveFailed;

    // All properties are set: checks MenuToAttach and loads the list.
    void Loaded();

    // Makes `filename` the first entry (an entry that differs only in case
    // moves up and keeps its spelling); the oldest beyond MaxEntries go.
    void AddFilename(const QString& filename);
    void LoadFromRegistry();
    // False when the settings file could not be written.
    bool SaveToRegistry();
    void RemoveMenuItems();
    void InsertMenuItems();

    // The entries, most recent first.
    QStringList Filenames() const;

  private:
    struct Entry {
        QString filename;
        QAction* item;
    };
    QAction* NewItem();
    void DropEntry(size_t index);
    void MoveToFront(size_t index);
    int Find(const QString& filename) const;
    QString Caption(size_t index) const;
    void EntryClick(QAction* item);

    std::filesystem::path configHome_;
    std::string registryKey_ = "Software\\MyCompany\\MyApp";
    QPointer<QMenu> menu_;
    std::vector<Entry> entries_;
    QAction* separator_ = nullptr;
    bool menuBuilt_ = false;
    bool loaded_ = false;
    bool saveFailed_ = false;  // the last save failed and was told
};

}  // namespace mv::ui
