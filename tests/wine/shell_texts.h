// The catalogue texts that the Windows tests compare with what the setup
// shows, exactly as the catalogue is meant to hold them, kept here
// independently of the resource scripts. "\n" is one line feed.
#pragma once

#include <windows.h>

#include <string>

namespace pelorin_test {

struct CatalogueTexts {
  LANGID language;
  const wchar_t* missingData;     // 15
  const wchar_t* askInstall;      // 20
  const wchar_t* cancelled;       // 24
  const wchar_t* installerError;  // 32
  const wchar_t* usage;           // 37
  const wchar_t* title;           // 57344, the application title
  const wchar_t* cancelLabel;     // the progress window's Cancel button
};

const CatalogueTexts kCatalogue[] = {
    // English (United States), 1033
    {1033,
     L"The required data with code %1!d! is missing.",
     L"This installation requires package '%1'. Do you wish to install it now?\nIf you already installed '%1', you can choose 'No'.",
     L"Setup was cancelled.",
     L"An error occured installing the package. Windows Installer returned '%1!d!'.",
     L"Usage:\n   /? :  Show this dialog.\n   /a :  Prepare an administrative install.\n   /a <full path to existing administrative install> :  Prepare/Patch administrative install in given folder.\n   /v <full path to file> :  Verify signature on file.\n",
     L"Windows Installer Installation Wrapper",
     L"Cancel"},
    // Italian, 1040
    {1040,
     L"Non trovo dato con codice %1!d!.",
     L"Questo tipo di installazione richiede il pacchetto di programmi '%1'. Vuoi installare questo pacchetto di programmi subito?\nSe il pacchetto di programmi '%1' è già installato, puoi scegliere 'No'.",
     L"L'installazione è stata interrotta.",
     L"Nell'installazione del pacchetto è occorso un errore. Windows Installer ha restituito il codice '%1!d!'.",
     L"Uso:\n   /? :  Mostra queste istruzioni.\n   /a :  Esegui installazione in modalità amministratore.\n   /a <percorso completo fino ad installazione in modalità amministratore> :  Prepara/Correggi l'installazione su modalità amministratore sul dato directory.\n   /v <percorso intero fino al file > :  Verifica firma file.\n",
     L"Avvio programma Windows Installer",
     L"Annulla"},
    // Albanian, 1052
    {1052,
     L"Të dhënat e kërkuara me kodin %1!d! mungojnë.",
     L"Ky instalim kërkon paketën '%1'. A dëshiron ta instalosh tani?\nNëse tashmë e ke instaluar '%1, mund të zgjedhësh 'Jo'.",
     L"Parametrizimi u anulua.",
     L"Ndodhi një gabim gjatë instalimit të paketës. Windows Installer ktheu '%1!d!'.",
     L"Përdorimi:\n   /? :  Shfaqe këtë dialog.\n   /a :  Përgatit një instalim administrativ.\n   /a <full path to existing administrative install> :  Përgatit/Korrigjo instalimin administrativ në dosjen e dhënë.\n   /v <full path to file> :  Verifiko nënshkrimin në skedar.\n",
     L"Paketa e instalimit të Windows Installer-it",
     L"Anulo"},
    // Slovenian, 1060
    {1060,
     L"Ne najdem podatka s kodo %1!d!.",
     L"Ta namestitev potrebuje programski paket '%1'. Ali želite ta paket namestiti zdaj?\nČe imate programski paket '%1' že nameščen, lahko izberite 'Ne'.",
     L"Namestitev je bila prekinjena.",
     L"Pri namestitvi paketa je prišlo do napake. Windows Installer je vrnil kodo '%1!d!'.",
     L"Uporaba:\n   /? :  Pokaže ta navodila.\n   /a :  Pripravi skrbniško namestitev.\n   /a <polna pot do skrbniške namestitve> :  Pripravi/Popravi skrbniško namestitev na danem imeniku.\n   /v <polna pot do datoteke> :  Preveri podpis datoteke.\n",
     L"Zaganjalnik programa Windows Installer",
     L"Prekliči"},
};

// The texts of `language`, or null when it is none of the four.
inline const CatalogueTexts* CatalogueFor(LANGID language) {
  for (const CatalogueTexts& texts : kCatalogue)
    if (texts.language == language) return &texts;
  return nullptr;
}

// A catalogue text with every "%1" (or "%1!d!") replaced by `insert`.
inline std::wstring WithInsert(const wchar_t* format, const std::wstring& insert) {
  std::wstring text = format;
  for (const wchar_t* form : {L"%1!d!", L"%1"}) {
    std::wstring pattern = form;
    for (size_t at = text.find(pattern); at != std::wstring::npos; at = text.find(pattern, at + insert.size()))
      text.replace(at, pattern.size(), insert);
  }
  return text;
}

}  // namespace pelorin_test
