// The options page "Proxy" (TabSheet3): the SOCKS proxy that every connection
// of a check run to a mail server goes through when it is switched on (the
// DNS queries never do): server, port, level (4, 4A or 5), user and password.
#pragma once

#include "options/options_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace mv::ui {

class ProxyPage : public OptionsPage {
    Q_OBJECT
  public:
    explicit ProxyPage(QWidget* parent);
    QString Caption() const override { return QStringLiteral("Proxy"); }
    void Load(TINI& ini) override;
    void Save(TINI& ini) override;

    static constexpr int kDefaultPort = 1080;

  private:
    // The fields can be typed in while the proxy is on; the password only on
    // level 5, the only level that sends one.
    void UpdateFields();

    QCheckBox* cbProxyEnabled = nullptr;
    QLineEdit* edProxyServer = nullptr;
    QSpinBox* edProxyPort = nullptr;
    QComboBox* cbProxyLevel = nullptr;
    QLineEdit* edProxyUser = nullptr;
    QLineEdit* edProxyPassword = nullptr;
};

}  // namespace mv::ui
