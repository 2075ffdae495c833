// The options page "DNS" (TabSheet2): the host name given in HELO (the domain
// of the sender address, or one of the user's) and the DNS servers.
#pragma once

#include "options/options_page.h"

class QLineEdit;
class QRadioButton;

namespace mv::ui {

class DnsPage : public OptionsPage {
    Q_OBJECT
  public:
    explicit DnsPage(QWidget* parent);
    QString Caption() const override { return QStringLiteral("DNS"); }
    void Load(TINI& ini) override;
    void Save(TINI& ini) override;

  private:
    // The host-name rule: the host field can be typed in exactly when "Sp&ecify
    // a host name" is chosen.
    void rbHostFromDomainClick();

    QRadioButton* rbHostFromDomain = nullptr;
    QRadioButton* edSpecifyHost = nullptr;
    QLineEdit* edHost = nullptr;
    QLineEdit* edDNS1 = nullptr;
    QLineEdit* edDNS2 = nullptr;
};

}  // namespace mv::ui
