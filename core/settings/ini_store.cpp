#include "settings/ini_store.h"

#include <algorithm>
#include <limits>

#include "platform/text/code_page.h"

namespace mv {

namespace {

template <typename T>
void Unlink(std::vector<T*>& list, T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

int DigitValue(char c, int base) {
    int value = 99;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

}  // namespace

// ---- TINIArquivo ----

TINIArquivo::TINIArquivo(std::filesystem::path configHome) : configHome_(std::move(configHome)) {}

TINIArquivo::~TINIArquivo() {
    for (TINISecao* secao : secoes_) {
        secao->arquivo_ = nullptr;
    }
}

void TINIArquivo::SetFileName(std::string fileName) {
    if (fileName == fileName_) {
        return;
    }
    fileName_ = std::move(fileName);
    file_.reset();
    if (fileName_.empty()) {
        return;
    }
    file_ = std::make_unique<SettingsFile>(SettingsFile::PathForKey(fileName_, configHome_));
    file_->CreateFolder();  // the store's own key exists from now on
}

std::string_view TINIArquivo::TrueWord() const {
    return language_ == iclEnglish ? "true" : "Sim";
}

std::string_view TINIArquivo::FalseWord() const {
    return language_ == iclEnglish ? "false" : "N\xC3\xA3o";
}

std::string TINIArquivo::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    if (!file_) {
        return {};
    }
    return file_->ReadValue(section, key, defaultValue);
}

bool TINIArquivo::WriteString(std::string_view section, std::string_view key,
                              std::string_view text) {
    if (!file_) {
        return true;
    }
    return file_->WriteValue(section, key, text);
}

bool TINIArquivo::SaveFailed() const {
    for (const TINISecao* section : secoes_)
        for (const TINILinha* key : section->Linhas())
            if (key->Modified()) return true;
    return false;
}

std::string TINIArquivo::SaveError() const {
    return file_ != nullptr ? file_->LastError() : std::string();
}

// ---- TINISecao ----

TINISecao::TINISecao(std::string caption, TINIArquivo* arquivo) : caption_(std::move(caption)) {
    SetArquivoAssociado(arquivo);
}

TINISecao::~TINISecao() {
    SetArquivoAssociado(nullptr);
    for (TINILinha* linha : linhas_) {
        linha->secao_ = nullptr;
    }
}

void TINISecao::SetArquivoAssociado(TINIArquivo* arquivo) {
    if (arquivo == arquivo_) {
        return;
    }
    if (arquivo_) {
        Unlink(arquivo_->secoes_, this);
    }
    arquivo_ = arquivo;
    if (arquivo_) {
        arquivo_->secoes_.push_back(this);
    }
}

// ---- TINILinha ----

TINILinha::TINILinha(std::string caption, std::string defaultText, TINISecao* secao)
    : caption_(std::move(caption)), text_(std::move(defaultText)) {
    SetSecaoAssociada(secao);
}

TINILinha::~TINILinha() {
    SetSecaoAssociada(nullptr);
}

void TINILinha::SetSecaoAssociada(TINISecao* secao) {
    if (secao == secao_) {
        return;
    }
    if (secao_) {
        Unlink(secao_->linhas_, this);
    }
    secao_ = secao;
    if (secao_) {
        secao_->linhas_.push_back(this);
    }
}

TINIArquivo* TINILinha::Arquivo() const {
    return secao_ ? secao_->ArquivoAssociado() : nullptr;
}

const std::string& TINILinha::Text() const {
    const TINIArquivo* arquivo = Arquivo();
    if (!loaded_ && arquivo) {
        text_ = arquivo->ReadString(secao_->Caption(), caption_, text_);
        loaded_ = true;
        modified_ = false;
    }
    return text_;
}

void TINILinha::SetText(std::string text) {
    // The store holds UTF-8; bytes that are not are taken as Windows-1252,
    // so the key holds what the store will give back.
    text = Utf8OrAnsiToUtf8(text);
    // Compared with the stored value, not a default that was never loaded:
    // otherwise writing the default over a different stored value would be
    // lost.
    if (text == Text()) {
        return;
    }
    modified_ = true;
    text_ = std::move(text);
    TINIArquivo* arquivo = Arquivo();
    if (arquivo && arquivo->AutoApply() &&
        arquivo->WriteString(secao_->Caption(), caption_, text_)) {
        modified_ = false;
    }
}

int32_t TINILinha::ParseInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i++] == '-';
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    // Decimal saturates at the 32-bit limits; hexadecimal is a 32-bit
    // pattern ("$FFFFFFFF" is -1) and saturates at eight digits' worth.
    const int64_t limit = base == 10 ? int64_t{1} << 31 : int64_t{0xFFFFFFFF};
    int64_t value = 0;
    for (int digit; i < text.size() && (digit = DigitValue(text[i], base)) >= 0; ++i) {
        value = std::min(limit, value * base + digit);
    }
    if (base == 16) {
        value = static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t TINILinha::AsInteger() const {
    return ParseInteger(Text());
}

void TINILinha::SetAsInteger(int32_t value) {
    SetText(std::to_string(value));
}

bool TINILinha::AsBoolean() const {
    const TINIArquivo* arquivo = Arquivo();
    const std::string_view trueWord = arquivo ? arquivo->TrueWord() : "Sim";
    return SameName(Text(), trueWord);
}

void TINILinha::SetAsBoolean(bool value) {
    const TINIArquivo* arquivo = Arquivo();
    const std::string_view word = arquivo ? (value ? arquivo->TrueWord() : arquivo->FalseWord())
                                          : (value ? "Sim" : "N\xC3\xA3o");
    SetText(std::string(word));
}

}  // namespace mv
