<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Accessibility</name>
    <message>
        <source>Previous file</source>
        <translation>Vorherige Datei</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Pause or resume</source>
        <translation>Pausieren oder fortsetzen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stoppen</translation>
    </message>
    <message>
        <source>Next file</source>
        <translation>Nächste Datei</translation>
    </message>
    <message>
        <source>Add files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>%1 %, %2 dB</source>
        <extracomment>The local volume: how far up the slider stands, and the level in decibels</extracomment>
        <translation>%1 %, %2 dB</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>Voice and playback even</source>
        <translation>Stimme und Wiedergabe gleich laut</translation>
    </message>
    <message>
        <source>%1 % towards the voice</source>
        <translation>%1 % zur Stimme hin</translation>
    </message>
    <message>
        <source>%1 % towards the playback</source>
        <translation>%1 % zur Wiedergabe hin</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <extracomment>The position in the file playing, of its length, both as minutes:seconds</extracomment>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>Call client connected</source>
        <translation>Anrufprogramm verbunden</translation>
    </message>
    <message>
        <source>Call client not connected</source>
        <translation>Anrufprogramm nicht verbunden</translation>
    </message>
    <message>
        <source>Active calls</source>
        <translation>Aktive Anrufe</translation>
    </message>
    <message>
        <source>Playback commands</source>
        <translation>Wiedergabebefehle</translation>
    </message>
    <message>
        <source>Position and length of the file playing</source>
        <translation>Position und Länge der laufenden Datei</translation>
    </message>
    <message>
        <source>Now playing</source>
        <translation>Aktuelle Wiedergabe</translation>
    </message>
    <message>
        <source>Balance</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Playlist</source>
        <translation>Wiedergabeliste</translation>
    </message>
    <message>
        <source>Title and duration of each file. Enter plays a file, Delete removes the selected files, Insert adds files.</source>
        <translation>Titel und Dauer jeder Datei. Eingabe spielt eine Datei ab, Entf entfernt die ausgewählten Dateien, Einfg fügt Dateien hinzu.</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Remote volume</source>
        <translation>Lautstärke im Anruf</translation>
    </message>
</context>
<context>
    <name>CAboutDlg</name>
    <message>
        <source>About Voxreel</source>
        <translation>Über Voxreel</translation>
    </message>
    <message>
        <source>Voxreel Version %1</source>
        <translation>Voxreel Version %1</translation>
    </message>
    <message>
        <source>Libraries used and keyboard shortcuts</source>
        <translation>Verwendete Bibliotheken und Tastenkürzel</translation>
    </message>
</context>
<context>
    <name>CDlgControls</name>
    <message>
        <source>Active calls</source>
        <translation>Aktive Anrufe</translation>
    </message>
    <message>
        <source>Voice</source>
        <extracomment>The left end of the balance slider: the user&apos;s own voice</extracomment>
        <translation>Stimme</translation>
    </message>
    <message>
        <source>Playback</source>
        <extracomment>The right end of the balance slider: the files played</extracomment>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>Balance</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Now playing:</source>
        <translation>Aktuelle Wiedergabe:</translation>
    </message>
    <message>
        <source>Local Volume</source>
        <translation>Lokale Lautstärke</translation>
    </message>
    <message>
        <source>Remote Volume</source>
        <extracomment>The volume of the files played as the call hears them</extracomment>
        <translation>Lautstärke im Anruf</translation>
    </message>
    <message>
        <source>Lower the music while I talk</source>
        <translation>Musik leiser, während ich spreche</translation>
    </message>
</context>
<context>
    <name>CLevelMeterWidget</name>
    <message>
        <source>Clipping</source>
        <translation>Übersteuert</translation>
    </message>
    <message>
        <source>Silent</source>
        <translation>Stille</translation>
    </message>
    <message>
        <source>Peak %1 dB</source>
        <translation>Spitze %1 dB</translation>
    </message>
</context>
<context>
    <name>CMeterPanel</name>
    <message>
        <source>Microphone level</source>
        <translation>Mikrofonpegel</translation>
    </message>
    <message>
        <source>Level the call hears</source>
        <translation>Pegel, den der Anruf hört</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Mikrofon</translation>
    </message>
    <message>
        <source>Call hears</source>
        <translation>Anruf hört</translation>
    </message>
</context>
<context>
    <name>CPlaylistModel</name>
    <message>
        <source>Track gain: ...</source>
        <translation>Pegelausgleich: ...</translation>
    </message>
    <message>
        <source>Track gain: %1 dB</source>
        <translation>Pegelausgleich: %1 dB</translation>
    </message>
    <message>
        <source>Track gain: none (the file could not be measured)</source>
        <translation>Pegelausgleich: keiner (die Datei ließ sich nicht messen)</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
</context>
<context>
    <name>CSettingsDlg</name>
    <message>
        <source>System default</source>
        <translation>Systemvorgabe</translation>
    </message>
    <message>
        <source>%1 (not present)</source>
        <extracomment>A device chosen before that is not plugged in now; %1 is its name</extracomment>
        <translation>%1 (nicht vorhanden)</translation>
    </message>
    <message>
        <source>Offer the mix to other call applications as &quot;Voxreel microphone&quot;</source>
        <translation>Die Mischung anderen Anrufprogrammen als „Voxreel microphone“ anbieten</translation>
    </message>
    <message>
        <source>Voxreel Settings</source>
        <translation>Voxreel-Einstellungen</translation>
    </message>
    <message>
        <source>&amp;Microphone:</source>
        <translation>&amp;Mikrofon:</translation>
    </message>
    <message>
        <source>&amp;Output:</source>
        <translation>&amp;Ausgabe:</translation>
    </message>
    <message>
        <source>A new microphone is used at once; the call reconnects to it. A new output is used from the next start of Voxreel.</source>
        <translation>Ein neues Mikrofon wird sofort verwendet; der Anruf verbindet sich neu damit. Eine neue Ausgabe wird ab dem nächsten Start von Voxreel verwendet.</translation>
    </message>
    <message>
        <source>VOXREEL_CAPTURE_SOURCE or VOXREEL_AUDIO_SINK is set: the environment decides what it names.</source>
        <translation>VOXREEL_CAPTURE_SOURCE oder VOXREEL_AUDIO_SINK ist gesetzt: Über das dort Genannte entscheidet die Umgebung.</translation>
    </message>
    <message>
        <source>Keep the call under full scale with a &amp;limiter</source>
        <translation>Den Anruf mit einem &amp;Begrenzer unter Vollaussteuerung halten</translation>
    </message>
    <message>
        <source>&amp;Even loudness:</source>
        <translation>&amp;Gleiche Lautheit:</translation>
    </message>
    <message>
        <source>Off (files play as they are)</source>
        <translation>Aus (Dateien spielen unverändert)</translation>
    </message>
    <message>
        <source>-23 LUFS (quieter, broadcast level)</source>
        <translation>-23 LUFS (leiser, Rundfunkpegel)</translation>
    </message>
    <message>
        <source>-18 LUFS (recommended)</source>
        <translation>-18 LUFS (empfohlen)</translation>
    </message>
    <message>
        <source>-16 LUFS</source>
        <translation>-16 LUFS</translation>
    </message>
    <message>
        <source>-14 LUFS (louder, streaming level)</source>
        <translation>-14 LUFS (lauter, Streaming-Pegel)</translation>
    </message>
    <message>
        <source>Every file is brought to this loudness, for the call and for you alike</source>
        <translation>Jede Datei wird auf diese Lautheit gebracht, für den Anruf wie für Sie</translation>
    </message>
    <message>
        <source>%1 LUFS</source>
        <translation>%1 LUFS</translation>
    </message>
</context>
<context>
    <name>CTrackGains</name>
    <message>
        <source>Cannot measure the loudness of %1: %2</source>
        <translation>Die Lautheit von %1 lässt sich nicht messen: %2</translation>
    </message>
    <message>
        <source>Measuring loudness: %1 of %2 files</source>
        <translation>Lautheit wird gemessen: %1 von %2 Dateien</translation>
    </message>
    <message>
        <source>Loudness measured: %1 files</source>
        <translation>Lautheit gemessen: %1 Dateien</translation>
    </message>
</context>
<context>
    <name>CVoxreelDlg</name>
    <message>
        <source>Always on top	Ctrl+Shift+A</source>
        <translation>Immer im Vordergrund	Strg+Umschalt+A</translation>
    </message>
    <message>
        <source>&amp;Settings...</source>
        <translation>&amp;Einstellungen...</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>Always on top, settings, about and quit (Shift+F10 or the menu key)</source>
        <translation>Immer im Vordergrund, Einstellungen, Über Voxreel und Beenden (Umschalt+F10 oder die Menütaste)</translation>
    </message>
    <message>
        <source>Initialization Error</source>
        <translation>Fehler beim Start</translation>
    </message>
    <message>
        <source>Failed to register window messages</source>
        <translation>Die Fensternachrichten ließen sich nicht registrieren</translation>
    </message>
    <message>
        <source>Listening to the Voxreel microphone: %1</source>
        <translation>Zuhörer am Voxreel-Mikrofon: %1</translation>
    </message>
</context>
<context>
    <name>CallList</name>
    <message>
        <source>Call %1</source>
        <extracomment>An entry of the list of calls, for a call whose partner has no name</extracomment>
        <translation>Anruf %1</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Plays audio files into a voice call, mixed with your microphone.
Files, folders and M3U playlists given here are added to the playlist; a
running Voxreel takes them instead of a second one starting.</source>
        <translation>Spielt Audiodateien in einen Sprachanruf ein, gemischt mit Ihrem Mikrofon.
Hier angegebene Dateien, Ordner und M3U-Wiedergabelisten kommen in die
Wiedergabeliste; ein laufendes Voxreel übernimmt sie, statt ein zweites zu starten.</translation>
    </message>
    <message>
        <source>Start playing the first file added.</source>
        <translation>Die erste hinzugefügte Datei abspielen.</translation>
    </message>
    <message>
        <source>Audio files, folders or M3U playlists.</source>
        <translation>Audiodateien, Ordner oder M3U-Wiedergabelisten.</translation>
    </message>
</context>
<context>
    <name>Status</name>
    <message>
        <source>An error occurred: %08X</source>
        <translation>Ein Fehler ist aufgetreten: %08X</translation>
    </message>
    <message>
        <source>Skype has connected!</source>
        <translation>Skype hat sich verbunden!</translation>
    </message>
    <message>
        <source>Skype has disconnected!</source>
        <translation>Skype hat die Verbindung getrennt!</translation>
    </message>
    <message>
        <source>Cannot record audio: %08X</source>
        <translation>Audioaufnahme nicht möglich: %08X</translation>
    </message>
    <message>
        <source>A network error occurred: %08X</source>
        <translation>Ein Netzwerkfehler ist aufgetreten: %08X</translation>
    </message>
    <message>
        <source>Playback error occurred: %08X</source>
        <translation>Ein Wiedergabefehler ist aufgetreten: %08X</translation>
    </message>
    <message>
        <source>Recording on a microphone started</source>
        <translation>Aufnahme über ein Mikrofon gestartet</translation>
    </message>
    <message>
        <source>Recording on a microphone stopped</source>
        <translation>Aufnahme über ein Mikrofon beendet</translation>
    </message>
    <message>
        <source>An audio output does not start</source>
        <translation>Eine Audioausgabe startet nicht</translation>
    </message>
    <message>
        <source>Playback failed: error code %08X</source>
        <translation>Wiedergabe fehlgeschlagen: Fehlercode %08X</translation>
    </message>
    <message>
        <source>An error occurred during file playback: %08X</source>
        <translation>Beim Abspielen der Datei ist ein Fehler aufgetreten: %08X</translation>
    </message>
    <message>
        <source>Playback completed.</source>
        <translation>Wiedergabe beendet.</translation>
    </message>
    <message>
        <source>Failed to initialize network port: %08X</source>
        <translation>Der Netzwerkport ließ sich nicht einrichten: %08X</translation>
    </message>
    <message>
        <source>Adding files: %d of %d</source>
        <translation>Dateien werden hinzugefügt: %d von %d</translation>
    </message>
    <message>
        <source>Added %d files</source>
        <translation>%d Dateien hinzugefügt</translation>
    </message>
    <message>
        <source>Only local files can be added: %d ignored</source>
        <translation>Nur lokale Dateien lassen sich hinzufügen: %d übergangen</translation>
    </message>
    <message>
        <source>Skype refused connection.</source>
        <translation>Skype hat die Verbindung abgelehnt.</translation>
    </message>
    <message>
        <source>Skype has disconnected from the network port</source>
        <translation>Skype hat sich vom Netzwerkport getrennt</translation>
    </message>
    <message>
        <source>Call finished.</source>
        <translation>Anruf beendet.</translation>
    </message>
    <message>
        <source>Cannot establish connection with Skype: %S</source>
        <translation>Keine Verbindung zu Skype möglich: %S</translation>
    </message>
    <message>
        <source>The Voxreel microphone is not available: %S</source>
        <translation>Das Voxreel-Mikrofon ist nicht verfügbar: %S</translation>
    </message>
    <message>
        <source>The Voxreel microphone cannot hear itself: recording from %S instead</source>
        <translation>Das Voxreel-Mikrofon kann sich nicht selbst hören: Aufnahme stattdessen von %S</translation>
    </message>
    <message>
        <source>The new output is used from the next start of Voxreel</source>
        <translation>Die neue Ausgabe wird ab dem nächsten Start von Voxreel verwendet</translation>
    </message>
    <message>
        <source>Opening ...</source>
        <translation>Wird geöffnet ...</translation>
    </message>
    <message>
        <source>CSetNetInput::OnResponse =&gt; SUCCESS</source>
        <extracomment>The call client took the call&apos;s input from Voxreel</extracomment>
        <translation>Der Anruf nimmt seinen Eingang jetzt von Voxreel</translation>
    </message>
</context>
<context>
    <name>WindowStrings</name>
    <message>
        <source>&amp;About Voxreel...</source>
        <translation>&amp;Über Voxreel...</translation>
    </message>
    <message>
        <source>Go to the previous file</source>
        <translation>Zur vorherigen Datei</translation>
    </message>
    <message>
        <source>Play it now!</source>
        <translation>Jetzt abspielen!</translation>
    </message>
    <message>
        <source>Pause it for a while</source>
        <translation>Eine Weile pausieren</translation>
    </message>
    <message>
        <source>Stop it now!</source>
        <translation>Jetzt stoppen!</translation>
    </message>
    <message>
        <source>Go to the next file</source>
        <translation>Zur nächsten Datei</translation>
    </message>
    <message>
        <source>Local volume</source>
        <translation>Lokale Lautstärke</translation>
    </message>
    <message>
        <source>Current position</source>
        <translation>Aktuelle Position</translation>
    </message>
    <message>
        <source>Call duration</source>
        <translation>Anrufdauer</translation>
    </message>
    <message>
        <source>Active call</source>
        <translation>Aktiver Anruf</translation>
    </message>
    <message>
        <source>Skype is not connected or there is no active call, playback is local only</source>
        <translation>Skype ist nicht verbunden oder es läuft kein Anruf, die Wiedergabe ist nur hier zu hören</translation>
    </message>
    <message>
        <source>Skype is connected and a call is under way, the files played now are transmitted to your party</source>
        <translation>Skype ist verbunden und ein Anruf läuft, die jetzt abgespielten Dateien werden an Ihr Gegenüber übertragen</translation>
    </message>
    <message>
        <source>Add files</source>
        <translation>Dateien hinzufügen</translation>
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
        <translation> Die folgenden Bibliotheken werden verwendet:<byte value="xd"/>
 * Id3lib<byte value="xd"/>
 * libsamplerate<byte value="xd"/>
<byte value="xd"/>
 Tastenkürzel:<byte value="xd"/>
	Dateien hinzufügen		Einfg<byte value="xd"/>
	Immer im Vordergrund an/aus	Strg+Umschalt+A<byte value="xd"/>
	Abspielen			x<byte value="xd"/>
	Stoppen				v<byte value="xd"/>
	Pausieren/Fortsetzen		c<byte value="xd"/>
	Vorherige Datei			z<byte value="xd"/>
	Nächste Datei			b<byte value="xd"/>
	Lokale Lautstärke lauter	Strg+Alt+Hoch<byte value="xd"/>
	Lokale Lautstärke leiser	Strg+Alt+Runter<byte value="xd"/>
	Lautstärke im Anruf lauter	Strg+Alt+Umschalt+Hoch<byte value="xd"/>
	Lautstärke im Anruf leiser	Strg+Alt+Umschalt+Runter<byte value="xd"/>
</translation>
    </message>
</context>
</TS>
