// "Check This &Computer...": the pre-flight check's dialog, created for one
// modal showing. The port-25 probes go to the mail hosts of a few domains of
// the current list (the sender's domain when the list has none), and the
// settings are those a check run would use, with this process's overrides.
#include <QAction>

#include "main_window/main_form.h"
#include "platform/loop/message_loop.h"
#include "preflight/preflight_form.h"
#include "project/preflight/preflight_settings.h"
#include "settings/tini.h"

namespace mv::ui {

void TMainForm::WirePreflightCommands() {
    Connect(acPreflight, &TMainForm::acPreflightExecute);
}

void TMainForm::acPreflightExecute() {
    const CheckOverrides& overrides = project_.Overrides();
    CheckSettings check = CheckSettings::FromIni(ini_);
    overrides.ApplyTo(check);
    PreflightSettings settings =
        PreflightSettings::FromCheckSettings(check, ini_.ilBlockLists.Text());
    if (overrides.dnsPort) settings.dnsPort = std::to_string(*overrides.dnsPort);
    if (overrides.smtpPort) settings.smtpPort = std::to_string(*overrides.smtpPort);
    settings.SetDomains(DistinctDomains(project_.List(), PreflightSettings::kMaxDomains));
    TFormPreflight dialog(std::move(settings), MessageLoop::Current(), this);
    dialog.exec();
}

}  // namespace mv::ui
