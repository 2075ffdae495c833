// The options page "Checks": what a check run does beyond asking about each
// address: whether it asks each domain about a made-up address to find
// domains that accept every address (Checks/AcceptAllProbe), after how many
// seconds it checks deferred addresses again (Checks/RecheckDeferred, 0 =
// never), how politely it treats each mail server (Checks/PerServer,
// Checks/PerServerRate, 0 = no limit), how many addresses it checks on one
// connection (Checks/AddressesPerConnection), the local addresses its
// connections leave from (Checks/SourceAddress), whether it prefers IPv6
// (Checks/PreferIPv6) and the DNS block lists the pre-flight check asks about
// (Checks/BlockLists). The page is a form, one setting per row, so that
// further settings of the checks are one more row each.
#pragma once

#include <string>
#include <vector>

#include "options/options_page.h"

class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace mv::ui {

class ChecksPage : public OptionsPage {
    Q_OBJECT
  public:
    explicit ChecksPage(QWidget* parent);
    QString Caption() const override { return QStringLiteral("Checks"); }
    void Load(TINI& ini) override;
    void Save(TINI& ini) override;

  private:
    // A number field followed by its unit or a note in one row; the label's
    // access key goes to the field.
    void AddNumberRow(const QString& label, QSpinBox* field, QLabel* after);

    QFormLayout* form_ = nullptr;
    QCheckBox* cbAcceptAllProbe = nullptr;
    QSpinBox* edRecheckDeferred = nullptr;
    QSpinBox* edPerServer = nullptr;
    QSpinBox* edPerServerRate = nullptr;
    QSpinBox* edAddressesPerConnection = nullptr;
    QLineEdit* edSourceAddress = nullptr;
    QCheckBox* cbPreferIPv6 = nullptr;
    QLineEdit* edBlockLists = nullptr;
    // What Load found, as a run reads it, so that Save writes only what the
    // user changed.
    bool loadedProbe_ = true;
    int loadedRecheck_ = 0;
    int loadedPerServer_ = 0;
    int loadedPerServerRate_ = 0;
    int loadedPerConnection_ = 1;
    std::string loadedSource_;
    bool loadedPreferIPv6_ = false;
    std::vector<std::string> loadedBlockLists_;
};

}  // namespace mv::ui
