; The setup program's own texts; NSIS's language files have the rest of its pages.

LangString DeleteReminders ${LANG_ENGLISH} "Also delete your reminders and your Tolva settings?$\r$\n$\r$\nChoose No to keep them for a later installation."
LangString DeleteReminders ${LANG_GERMAN} "Auch Ihre Erinnerungen und Ihre Tolva-Einstellungen löschen?$\r$\n$\r$\nWählen Sie Nein, um sie für eine spätere Installation zu behalten."
LangString DeleteReminders ${LANG_SPANISH} "¿Eliminar también sus recordatorios y su configuración de Tolva?$\r$\n$\r$\nElija No para conservarlos para una instalación posterior."
LangString DeleteReminders ${LANG_FRENCH} "Supprimer aussi vos rappels et vos paramètres de Tolva ?$\r$\n$\r$\nChoisissez Non pour les garder en vue d'une prochaine installation."
LangString DeleteReminders ${LANG_ITALIAN} "Eliminare anche i promemoria e le impostazioni di Tolva?$\r$\n$\r$\nScegliere No per conservarli per una futura installazione."
LangString DeleteReminders ${LANG_DUTCH} "Ook uw herinneringen en uw Tolva-instellingen verwijderen?$\r$\n$\r$\nKies Nee om ze te bewaren voor een latere installatie."
LangString DeleteReminders ${LANG_PORTUGUESEBR} "Excluir também seus lembretes e suas configurações do Tolva?$\r$\n$\r$\nEscolha Não para mantê-los para uma instalação futura."

; Name of the Start-menu shortcut to the help file.
LangString HelpShortcut ${LANG_ENGLISH} "Help"
LangString HelpShortcut ${LANG_GERMAN} "Hilfe"
LangString HelpShortcut ${LANG_SPANISH} "Ayuda"
LangString HelpShortcut ${LANG_FRENCH} "Aide"
LangString HelpShortcut ${LANG_ITALIAN} "Guida"
LangString HelpShortcut ${LANG_DUTCH} "Help"
LangString HelpShortcut ${LANG_PORTUGUESEBR} "Ajuda"

; Refusals before anything is written: Tolva needs Windows 7 or later, and this setup's programs a
; 64-bit Windows.
LangString NeedsWindows7 ${LANG_ENGLISH} "Tolva needs Windows 7 or later. Setup will now close."
LangString NeedsWindows7 ${LANG_GERMAN} "Tolva erfordert Windows 7 oder höher. Das Setup wird jetzt beendet."
LangString NeedsWindows7 ${LANG_SPANISH} "Tolva requiere Windows 7 o posterior. El programa de instalación se cerrará."
LangString NeedsWindows7 ${LANG_FRENCH} "Tolva nécessite Windows 7 ou une version ultérieure. L'installation va se fermer."
LangString NeedsWindows7 ${LANG_ITALIAN} "Tolva richiede Windows 7 o versioni successive. L'installazione verrà chiusa."
LangString NeedsWindows7 ${LANG_DUTCH} "Tolva vereist Windows 7 of later. Setup wordt nu afgesloten."
LangString NeedsWindows7 ${LANG_PORTUGUESEBR} "O Tolva requer o Windows 7 ou posterior. A instalação será fechada."
LangString Needs64Bit ${LANG_ENGLISH} "This edition of Tolva needs a 64-bit version of Windows. Use the 32-bit setup program on this computer."
LangString Needs64Bit ${LANG_GERMAN} "Diese Ausgabe von Tolva erfordert eine 64-Bit-Version von Windows. Verwenden Sie auf diesem Computer das 32-Bit-Setup."
LangString Needs64Bit ${LANG_SPANISH} "Esta edición de Tolva requiere una versión de 64 bits de Windows. Use el programa de instalación de 32 bits en este equipo."
LangString Needs64Bit ${LANG_FRENCH} "Cette édition de Tolva nécessite une version 64 bits de Windows. Utilisez le programme d'installation 32 bits sur cet ordinateur."
LangString Needs64Bit ${LANG_ITALIAN} "Questa edizione di Tolva richiede una versione di Windows a 64 bit. Usare il programma di installazione a 32 bit su questo computer."
LangString Needs64Bit ${LANG_DUTCH} "Deze editie van Tolva vereist een 64-bits versie van Windows. Gebruik op deze computer het 32-bits setupprogramma."
LangString Needs64Bit ${LANG_PORTUGUESEBR} "Esta edição do Tolva requer uma versão de 64 bits do Windows. Use o programa de instalação de 32 bits neste computador."
