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
