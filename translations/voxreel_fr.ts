<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>Accessibility</name>
    <message>
        <source>Previous file</source>
        <translation>Fichier précédent</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lire</translation>
    </message>
    <message>
        <source>Pause or resume</source>
        <translation>Mettre en pause ou reprendre</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>Next file</source>
        <translation>Fichier suivant</translation>
    </message>
    <message>
        <source>Add files</source>
        <translation>Ajouter des fichiers</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>%1 %, %2 dB</source>
        <extracomment>The local volume: how far up the slider stands, and the level in decibels</extracomment>
        <translation>%1&#xa0;%, %2&#xa0;dB</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1&#xa0;%</translation>
    </message>
    <message>
        <source>Voice and playback even</source>
        <translation>Voix et lecture à égalité</translation>
    </message>
    <message>
        <source>%1 % towards the voice</source>
        <translation>%1&#xa0;% vers la voix</translation>
    </message>
    <message>
        <source>%1 % towards the playback</source>
        <translation>%1&#xa0;% vers la lecture</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <extracomment>The position in the file playing, of its length, both as minutes:seconds</extracomment>
        <translation>%1 sur %2</translation>
    </message>
    <message>
        <source>Call client connected</source>
        <translation>Logiciel d&apos;appel connecté</translation>
    </message>
    <message>
        <source>Call client not connected</source>
        <translation>Logiciel d&apos;appel non connecté</translation>
    </message>
    <message>
        <source>Active calls</source>
        <translation>Appels en cours</translation>
    </message>
    <message>
        <source>Playback commands</source>
        <translation>Commandes de lecture</translation>
    </message>
    <message>
        <source>Position and length of the file playing</source>
        <translation>Position et durée du fichier en cours de lecture</translation>
    </message>
    <message>
        <source>Now playing</source>
        <translation>Lecture en cours</translation>
    </message>
    <message>
        <source>Balance</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Playlist</source>
        <translation>Liste de lecture</translation>
    </message>
    <message>
        <source>Title and duration of each file. Enter plays a file, Delete removes the selected files, Insert adds files.</source>
        <translation>Titre et durée de chaque fichier. Entrée lit un fichier, Suppr retire les fichiers sélectionnés, Inser ajoute des fichiers.</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>État</translation>
    </message>
    <message>
        <source>Remote volume</source>
        <translation>Volume dans l&apos;appel</translation>
    </message>
</context>
<context>
    <name>CAboutDlg</name>
    <message>
        <source>About Voxreel</source>
        <translation>À propos de Voxreel</translation>
    </message>
    <message>
        <source>Voxreel Version %1</source>
        <translation>Voxreel version %1</translation>
    </message>
    <message>
        <source>Libraries used and keyboard shortcuts</source>
        <translation>Bibliothèques utilisées et raccourcis clavier</translation>
    </message>
</context>
<context>
    <name>CDlgControls</name>
    <message>
        <source>Active calls</source>
        <translation>Appels en cours</translation>
    </message>
    <message>
        <source>Voice</source>
        <extracomment>The left end of the balance slider: the user&apos;s own voice</extracomment>
        <translation>Voix</translation>
    </message>
    <message>
        <source>Playback</source>
        <extracomment>The right end of the balance slider: the files played</extracomment>
        <translation>Lecture</translation>
    </message>
    <message>
        <source>Balance</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Now playing:</source>
        <translation>Lecture en cours&#xa0;:</translation>
    </message>
    <message>
        <source>Local Volume</source>
        <translation>Volume local</translation>
    </message>
    <message>
        <source>Remote Volume</source>
        <extracomment>The volume of the files played as the call hears them</extracomment>
        <translation>Volume dans l&apos;appel</translation>
    </message>
    <message>
        <source>Lower the music while I talk</source>
        <translation>Baisser la musique quand je parle</translation>
    </message>
</context>
<context>
    <name>CLevelMeterWidget</name>
    <message>
        <source>Clipping</source>
        <translation>Saturation</translation>
    </message>
    <message>
        <source>Silent</source>
        <translation>Silence</translation>
    </message>
    <message>
        <source>Peak %1 dB</source>
        <translation>Crête %1&#xa0;dB</translation>
    </message>
</context>
<context>
    <name>CMeterPanel</name>
    <message>
        <source>Microphone level</source>
        <translation>Niveau du microphone</translation>
    </message>
    <message>
        <source>Level the call hears</source>
        <translation>Niveau entendu par l&apos;appel</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Microphone</translation>
    </message>
    <message>
        <source>Call hears</source>
        <translation>L&apos;appel entend</translation>
    </message>
</context>
<context>
    <name>CPlaylistModel</name>
    <message>
        <source>Track gain: ...</source>
        <translation>Gain de la piste&#xa0;: ...</translation>
    </message>
    <message>
        <source>Track gain: %1 dB</source>
        <translation>Gain de la piste&#xa0;: %1&#xa0;dB</translation>
    </message>
    <message>
        <source>Track gain: none (the file could not be measured)</source>
        <translation>Gain de la piste&#xa0;: aucun (le fichier n&apos;a pas pu être mesuré)</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titre</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Durée</translation>
    </message>
</context>
<context>
    <name>CSettingsDlg</name>
    <message>
        <source>System default</source>
        <translation>Valeur par défaut du système</translation>
    </message>
    <message>
        <source>%1 (not present)</source>
        <extracomment>A device chosen before that is not plugged in now; %1 is its name</extracomment>
        <translation>%1 (absent)</translation>
    </message>
    <message>
        <source>Offer the mix to other call applications as &quot;Voxreel microphone&quot;</source>
        <translation>Proposer le mélange aux autres logiciels d&apos;appel sous le nom «&#xa0;Voxreel microphone&#xa0;»</translation>
    </message>
    <message>
        <source>Voxreel Settings</source>
        <translation>Paramètres de Voxreel</translation>
    </message>
    <message>
        <source>&amp;Microphone:</source>
        <translation>&amp;Microphone&#xa0;:</translation>
    </message>
    <message>
        <source>&amp;Output:</source>
        <translation>&amp;Sortie&#xa0;:</translation>
    </message>
    <message>
        <source>A new microphone is used at once; the call reconnects to it. A new output is used from the next start of Voxreel.</source>
        <translation>Un nouveau microphone est utilisé immédiatement&#xa0;; l&apos;appel s&apos;y reconnecte. Une nouvelle sortie est utilisée à partir du prochain démarrage de Voxreel.</translation>
    </message>
    <message>
        <source>VOXREEL_CAPTURE_SOURCE or VOXREEL_AUDIO_SINK is set: the environment decides what it names.</source>
        <translation>VOXREEL_CAPTURE_SOURCE ou VOXREEL_AUDIO_SINK est défini&#xa0;: l&apos;environnement décide de ce qu&apos;il désigne.</translation>
    </message>
    <message>
        <source>Keep the call under full scale with a &amp;limiter</source>
        <translation>Garder l&apos;appel sous la pleine échelle avec un &amp;limiteur</translation>
    </message>
    <message>
        <source>&amp;Even loudness:</source>
        <translation>Intensité sonore &amp;uniforme&#xa0;:</translation>
    </message>
    <message>
        <source>Off (files play as they are)</source>
        <translation>Désactivé (les fichiers sont lus tels quels)</translation>
    </message>
    <message>
        <source>-23 LUFS (quieter, broadcast level)</source>
        <translation>-23 LUFS (plus faible, niveau de diffusion)</translation>
    </message>
    <message>
        <source>-18 LUFS (recommended)</source>
        <translation>-18 LUFS (recommandé)</translation>
    </message>
    <message>
        <source>-16 LUFS</source>
        <translation>-16 LUFS</translation>
    </message>
    <message>
        <source>-14 LUFS (louder, streaming level)</source>
        <translation>-14 LUFS (plus fort, niveau du streaming)</translation>
    </message>
    <message>
        <source>Every file is brought to this loudness, for the call and for you alike</source>
        <translation>Chaque fichier est amené à cette intensité sonore, pour l&apos;appel comme pour vous</translation>
    </message>
    <message>
        <source>%1 LUFS</source>
        <translation>%1&#xa0;LUFS</translation>
    </message>
</context>
<context>
    <name>CTrackGains</name>
    <message>
        <source>Cannot measure the loudness of %1: %2</source>
        <translation>Impossible de mesurer l&apos;intensité sonore de %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>Measuring loudness: %1 of %2 files</source>
        <translation>Mesure de l&apos;intensité sonore&#xa0;: %1 fichiers sur %2</translation>
    </message>
    <message>
        <source>Loudness measured: %1 files</source>
        <translation>Intensité sonore mesurée&#xa0;: %1 fichiers</translation>
    </message>
</context>
<context>
    <name>CVoxreelDlg</name>
    <message>
        <source>Always on top	Ctrl+Shift+A</source>
        <translation>Toujours au premier plan	Ctrl+Maj+A</translation>
    </message>
    <message>
        <source>&amp;Settings...</source>
        <translation>&amp;Paramètres...</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>Always on top, settings, about and quit (Shift+F10 or the menu key)</source>
        <translation>Toujours au premier plan, paramètres, à propos et quitter (Maj+F10 ou la touche Menu)</translation>
    </message>
    <message>
        <source>Initialization Error</source>
        <translation>Erreur d&apos;initialisation</translation>
    </message>
    <message>
        <source>Failed to register window messages</source>
        <translation>Impossible d&apos;enregistrer les messages de fenêtre</translation>
    </message>
    <message>
        <source>Listening to the Voxreel microphone: %1</source>
        <translation>À l&apos;écoute du microphone Voxreel&#xa0;: %1</translation>
    </message>
</context>
<context>
    <name>CallList</name>
    <message>
        <source>Call %1</source>
        <extracomment>An entry of the list of calls, for a call whose partner has no name</extracomment>
        <translation>Appel %1</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Plays audio files into a voice call, mixed with your microphone.
Files, folders and M3U playlists given here are added to the playlist; a
running Voxreel takes them instead of a second one starting.</source>
        <translation>Joue des fichiers audio dans un appel vocal, mélangés à votre microphone.
Les fichiers, dossiers et listes de lecture M3U indiqués ici sont ajoutés à la
liste de lecture&#xa0;; un Voxreel déjà lancé les reçoit au lieu d&apos;en démarrer un second.</translation>
    </message>
    <message>
        <source>Start playing the first file added.</source>
        <translation>Lire le premier fichier ajouté.</translation>
    </message>
    <message>
        <source>Audio files, folders or M3U playlists.</source>
        <translation>Fichiers audio, dossiers ou listes de lecture M3U.</translation>
    </message>
</context>
<context>
    <name>Status</name>
    <message>
        <source>An error occurred: %08X</source>
        <translation>Une erreur s&apos;est produite&#xa0;: %08X</translation>
    </message>
    <message>
        <source>Skype has connected!</source>
        <translation>Skype s&apos;est connecté&#xa0;!</translation>
    </message>
    <message>
        <source>Skype has disconnected!</source>
        <translation>Skype s&apos;est déconnecté&#xa0;!</translation>
    </message>
    <message>
        <source>Cannot record audio: %08X</source>
        <translation>Impossible d&apos;enregistrer le son&#xa0;: %08X</translation>
    </message>
    <message>
        <source>A network error occurred: %08X</source>
        <translation>Une erreur réseau s&apos;est produite&#xa0;: %08X</translation>
    </message>
    <message>
        <source>Playback error occurred: %08X</source>
        <translation>Une erreur de lecture s&apos;est produite&#xa0;: %08X</translation>
    </message>
    <message>
        <source>Recording on a microphone started</source>
        <translation>Enregistrement sur un microphone démarré</translation>
    </message>
    <message>
        <source>Recording on a microphone stopped</source>
        <translation>Enregistrement sur un microphone arrêté</translation>
    </message>
    <message>
        <source>An audio output does not start</source>
        <translation>Une sortie audio ne démarre pas</translation>
    </message>
    <message>
        <source>Playback failed: error code %08X</source>
        <translation>Échec de la lecture&#xa0;: code d&apos;erreur %08X</translation>
    </message>
    <message>
        <source>An error occurred during file playback: %08X</source>
        <translation>Une erreur s&apos;est produite pendant la lecture du fichier&#xa0;: %08X</translation>
    </message>
    <message>
        <source>Playback completed.</source>
        <translation>Lecture terminée.</translation>
    </message>
    <message>
        <source>Failed to initialize network port: %08X</source>
        <translation>Impossible d&apos;initialiser le port réseau&#xa0;: %08X</translation>
    </message>
    <message>
        <source>Adding files: %d of %d</source>
        <translation>Ajout des fichiers&#xa0;: %d sur %d</translation>
    </message>
    <message>
        <source>Added %d files</source>
        <translation>%d fichiers ajoutés</translation>
    </message>
    <message>
        <source>Only local files can be added: %d ignored</source>
        <translation>Seuls les fichiers locaux peuvent être ajoutés&#xa0;: %d ignorés</translation>
    </message>
    <message>
        <source>Skype refused connection.</source>
        <translation>Skype a refusé la connexion.</translation>
    </message>
    <message>
        <source>Skype has disconnected from the network port</source>
        <translation>Skype s&apos;est déconnecté du port réseau</translation>
    </message>
    <message>
        <source>Call finished.</source>
        <translation>Appel terminé.</translation>
    </message>
    <message>
        <source>Cannot establish connection with Skype: %S</source>
        <translation>Impossible d&apos;établir la connexion avec Skype&#xa0;: %S</translation>
    </message>
    <message>
        <source>The Voxreel microphone is not available: %S</source>
        <translation>Le microphone Voxreel n&apos;est pas disponible&#xa0;: %S</translation>
    </message>
    <message>
        <source>The Voxreel microphone cannot hear itself: recording from %S instead</source>
        <translation>Le microphone Voxreel ne peut pas s&apos;écouter lui-même&#xa0;: enregistrement depuis %S à la place</translation>
    </message>
    <message>
        <source>The new output is used from the next start of Voxreel</source>
        <translation>La nouvelle sortie sera utilisée au prochain démarrage de Voxreel</translation>
    </message>
    <message>
        <source>Opening ...</source>
        <translation>Ouverture ...</translation>
    </message>
    <message>
        <source>CSetNetInput::OnResponse =&gt; SUCCESS</source>
        <extracomment>The call client took the call&apos;s input from Voxreel</extracomment>
        <translation>L&apos;appel prend désormais son entrée depuis Voxreel</translation>
    </message>
</context>
<context>
    <name>WindowStrings</name>
    <message>
        <source>&amp;About Voxreel...</source>
        <translation>À propos de &amp;Voxreel...</translation>
    </message>
    <message>
        <source>Go to the previous file</source>
        <translation>Aller au fichier précédent</translation>
    </message>
    <message>
        <source>Play it now!</source>
        <translation>Lire maintenant&#xa0;!</translation>
    </message>
    <message>
        <source>Pause it for a while</source>
        <translation>Mettre en pause un moment</translation>
    </message>
    <message>
        <source>Stop it now!</source>
        <translation>Arrêter maintenant&#xa0;!</translation>
    </message>
    <message>
        <source>Go to the next file</source>
        <translation>Aller au fichier suivant</translation>
    </message>
    <message>
        <source>Local volume</source>
        <translation>Volume local</translation>
    </message>
    <message>
        <source>Current position</source>
        <translation>Position actuelle</translation>
    </message>
    <message>
        <source>Call duration</source>
        <translation>Durée de l&apos;appel</translation>
    </message>
    <message>
        <source>Active call</source>
        <translation>Appel en cours</translation>
    </message>
    <message>
        <source>Skype is not connected or there is no active call, playback is local only</source>
        <translation>Skype n&apos;est pas connecté ou aucun appel n&apos;est en cours, la lecture reste locale</translation>
    </message>
    <message>
        <source>Skype is connected and a call is under way, the files played now are transmitted to your party</source>
        <translation>Skype est connecté et un appel est en cours, les fichiers lus maintenant sont transmis à votre correspondant</translation>
    </message>
    <message>
        <source>Add files</source>
        <translation>Ajouter des fichiers</translation>
    </message>
    <message>
        <source> The following libraries are used:<byte value="xd"/>
 * Id3lib<byte value="xd"/>
 * libsamplerate<byte value="xd"/>
<byte value="xd"/>
 Keyboard Shortcuts:<byte value="xd"/>
	Add files			Insert<byte value="xd"/>
	Toggle always-on-top	Ctrl+Shift+A<byte value="xd"/>
	Play				x<byte value="xd"/>
	Stop				v<byte value="xd"/>
	Pause/resume		c<byte value="xd"/>
	Last file			z<byte value="xd"/>
	Next file			b<byte value="xd"/>
	Local volume up		Ctrl+Alt+Up<byte value="xd"/>
	Local volume down		Ctrl+Alt+Down<byte value="xd"/>
	Remote volume up		Ctrl+Alt+Shift+Up<byte value="xd"/>
	Remote volume down	Ctrl+Alt+Shift+Down<byte value="xd"/>
</source>
        <translation> Les bibliothèques suivantes sont utilisées&#xa0;:<byte value="xd"/>
 * Id3lib<byte value="xd"/>
 * libsamplerate<byte value="xd"/>
<byte value="xd"/>
 Raccourcis clavier&#xa0;:<byte value="xd"/>
	Ajouter des fichiers		Inser<byte value="xd"/>
	Toujours au premier plan	Ctrl+Maj+A<byte value="xd"/>
	Lire				x<byte value="xd"/>
	Arrêter				v<byte value="xd"/>
	Pause/reprise			c<byte value="xd"/>
	Fichier précédent		z<byte value="xd"/>
	Fichier suivant			b<byte value="xd"/>
	Monter le volume local		Ctrl+Alt+Haut<byte value="xd"/>
	Baisser le volume local		Ctrl+Alt+Bas<byte value="xd"/>
	Monter le volume de l&apos;appel	Ctrl+Alt+Maj+Haut<byte value="xd"/>
	Baisser le volume de l&apos;appel	Ctrl+Alt+Maj+Bas<byte value="xd"/>
</translation>
    </message>
</context>
</TS>
