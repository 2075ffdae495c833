// The settings components: a store (TINIArquivo), its sections (TINISecao)
// and their keys (TINILinha), wired together by pointers as they would be on
// a data module. A key carries its default as its initial text, loads the
// stored value the first time it is read and writes a new value through to
// the store at once.
//
// Links: a section names its store and a key its section; each side keeps
// the list of those that name it. Destroying any of them removes it from the
// list it is in and drops the links that point to it, so no pointer dangles.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_file/settings_file.h"

namespace mv {

enum TICLanguage { iclPortuguese = 0, iclEnglish = 1 };

class TINISecao;
class TINILinha;

class TINIArquivo {
  public:
    // `configHome` is the folder that holds the stores; empty means
    // $XDG_CONFIG_HOME, or ~/.config when that is unset.
    explicit TINIArquivo(std::filesystem::path configHome = {});
    ~TINIArquivo();
    TINIArquivo(const TINIArquivo&) = delete;
    TINIArquivo& operator=(const TINIArquivo&) = delete;

    // The key path of the store, e.g. "\software\Corvane\Mailvetter". Setting
    // another one closes the store and opens (creating its folder) the new
    // one; an empty path leaves it closed.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string fileName);
    // The folder that holds the stores, as given (empty: the user's).
    const std::filesystem::path& ConfigHome() const { return configHome_; }

    TICLanguage Language() const { return language_; }
    void SetLanguage(TICLanguage language) { language_ = language; }
    // The words that AsBoolean writes and recognises in this language.
    std::string_view TrueWord() const;
    std::string_view FalseWord() const;

    bool AutoApply() const { return autoApply_; }
    void SetAutoApply(bool autoApply) { autoApply_ = autoApply; }

    bool IsOpen() const { return file_ != nullptr; }
    // The file behind the open store (null while closed), for components
    // that keep more than single values, such as the recently used files.
    SettingsFile* File() const { return file_.get(); }

    // A closed store reads every value as empty.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // A closed store ignores writes (and reports success). False when the
    // value could not be stored.
    bool WriteString(std::string_view section, std::string_view key, std::string_view text);

    const std::vector<TINISecao*>& Secoes() const { return secoes_; }

    // True while a key of this store holds a value that could not be
    // written; SaveError() then tells why, when the file said so.
    bool SaveFailed() const;
    std::string SaveError() const;

  private:
    friend class TINISecao;

    std::filesystem::path configHome_;
    std::string fileName_;
    TICLanguage language_ = iclPortuguese;
    bool autoApply_ = true;
    std::unique_ptr<SettingsFile> file_;
    std::vector<TINISecao*> secoes_;
};

class TINISecao {
  public:
    explicit TINISecao(std::string caption = {}, TINIArquivo* arquivo = nullptr);
    ~TINISecao();
    TINISecao(const TINISecao&) = delete;
    TINISecao& operator=(const TINISecao&) = delete;

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption) { caption_ = std::move(caption); }

    TINIArquivo* ArquivoAssociado() const { return arquivo_; }
    // Moves the section from the old store's list to the new one's.
    void SetArquivoAssociado(TINIArquivo* arquivo);

    const std::vector<TINILinha*>& Linhas() const { return linhas_; }

  private:
    friend class TINIArquivo;
    friend class TINILinha;

    std::string caption_;
    TINIArquivo* arquivo_ = nullptr;
    std::vector<TINILinha*> linhas_;
};

class TINILinha {
  public:
    // `defaultText` is the key's text until the stored value is read.
    explicit TINILinha(std::string caption = {}, std::string defaultText = {},
                       TINISecao* secao = nullptr);
    ~TINILinha();
    TINILinha(const TINILinha&) = delete;
    TINILinha& operator=(const TINILinha&) = delete;

    TINISecao* SecaoAssociada() const { return secao_; }
    // Moves the key from the old section's list to the new one's.
    void SetSecaoAssociada(TINISecao* secao);

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption) { caption_ = std::move(caption); }

    // The first read of a key with a section and a store loads the stored
    // value (the current text is the default); later reads return the text
    // held in memory.
    const std::string& Text() const;
    // Text that is not valid UTF-8 is taken as Windows-1252 and converted.
    // Nothing happens when `text` equals the key's value. Otherwise the key
    // takes it and, when its store applies changes at once, writes it; a
    // write that fails leaves the key marked modified.
    void SetText(std::string text);

    // Leading blanks, an optional sign, then decimal digits, or hexadecimal
    // digits after "$", "x" or "0x"; reading stops at the first other
    // character, so "abc" reads 0 and "12ab" reads 12. Beyond the 32-bit
    // range the value saturates.
    int32_t AsInteger() const;
    void SetAsInteger(int32_t value);
    // True exactly when the text is the store language's true word, compared
    // without regard to case. Writes that word or the false word.
    bool AsBoolean() const;
    void SetAsBoolean(bool value);

    bool Loaded() const { return loaded_; }
    bool Modified() const { return modified_; }

    // The whole-number reading of AsInteger, for any text.
    static int32_t ParseInteger(std::string_view text);

  private:
    friend class TINISecao;
    TINIArquivo* Arquivo() const;

    std::string caption_;
    TINISecao* secao_ = nullptr;
    mutable std::string text_;
    mutable bool loaded_ = false;
    mutable bool modified_ = false;
};

}  // namespace mv
