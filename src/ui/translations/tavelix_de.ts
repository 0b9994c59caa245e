<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Tavelix</name>
    <message>
        <location filename="../batch.cpp" line="+33"/>
        <source>
... and %1 more</source>
        <translation>
... und %1 weitere</translation>
    </message>
    <message>
        <location line="+82"/>
        <location line="+5"/>
        <location filename="../prompts.cpp" line="+153"/>
        <location line="+2"/>
        <source>Error: </source>
        <translation>Fehler: </translation>
    </message>
    <message>
        <location line="-2"/>
        <source> was not saved: </source>
        <translation> wurde nicht gespeichert: </translation>
    </message>
    <message>
        <location line="+2"/>
        <source> was not saved: not enough memory</source>
        <translation> wurde nicht gespeichert: nicht genug Speicher</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Select Pictures to scramble on disk - will overwrite</source>
        <translation>Bilder zum Verwürfeln auf dem Datenträger wählen - sie werden überschrieben</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Select Pictures to assemble on disk - will overwrite</source>
        <translation>Bilder zum Zusammensetzen auf dem Datenträger wählen - sie werden überschrieben</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Select Pictures to reduce to w/2 h/2 on disk</source>
        <translation>Bilder zum Verkleinern auf B/2 H/2 auf dem Datenträger wählen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Select Pictures to reduce to w/4 h/4 on disk</source>
        <translation>Bilder zum Verkleinern auf B/4 H/4 auf dem Datenträger wählen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Select Pictures to reduce to w/8 h/8 on disk</source>
        <translation>Bilder zum Verkleinern auf B/8 H/8 auf dem Datenträger wählen</translation>
    </message>
    <message>
        <location line="+44"/>
        <source>Not scrambled, left unchanged:
</source>
        <translation>Nicht verwürfelt, unverändert gelassen:
</translation>
    </message>
    <message>
        <location line="+0"/>
        <location line="+16"/>
        <source>Not assembled, left unchanged:
</source>
        <translation>Nicht zusammengesetzt, unverändert gelassen:
</translation>
    </message>
    <message>
        <location line="-13"/>
        <source>Assembled, but these pictures show too little to tell whether the password is right:
</source>
        <translation>Zusammengesetzt, aber diese Bilder zeigen zu wenig, um zu erkennen, ob das Passwort richtig ist:
</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>These pictures do not look assembled with this password (the password may be wrong, the pictures may not be scrambled, or they may be scrambled twice) and were left unchanged:
</source>
        <translation>Diese Bilder sehen mit diesem Passwort nicht zusammengesetzt aus (das Passwort ist vielleicht falsch, die Bilder vielleicht nicht verwürfelt oder zweimal verwürfelt) und wurden unverändert gelassen:
</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>

Assemble them anyway?</source>
        <translation>

Trotzdem zusammensetzen?</translation>
    </message>
    <message>
        <location line="+51"/>
        <source>This reduced copy exists already:
</source>
        <translation>Diese verkleinerte Kopie ist schon vorhanden:
</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>These reduced copies exist already:
</source>
        <translation>Diese verkleinerten Kopien sind schon vorhanden:
</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Replace</source>
        <translation>Ersetzen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Skip them</source>
        <translation>Überspringen</translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../Upwdlg.cpp" line="+85"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>No reduced copy made:
</source>
        <translation>Keine verkleinerte Kopie erstellt:
</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Not replaced by a reduced copy:
</source>
        <translation>Nicht durch eine verkleinerte Kopie ersetzt:
</translation>
    </message>
    <message>
        <location filename="../clipping.cpp" line="+90"/>
        <source>Clipsize %1 x %2</source>
        <translation>Ausschnitt %1 x %2</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Take clip as new picture?</source>
        <translation>Ausschnitt als neues Bild übernehmen?</translation>
    </message>
    <message>
        <location filename="../forms.cpp" line="+29"/>
        <source>: no such file</source>
        <translation>: keine solche Datei</translation>
    </message>
    <message>
        <location filename="../picturecommands.cpp" line="+33"/>
        <source>1280K Pixels maximum (e.g.1280x1024)</source>
        <translation>Höchstens 1280K Pixel (z.B. 1280x1024)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Tavelix - Select pictures (1 to view and/or edit - 2 or more for autoshow)</source>
        <translation>Tavelix - Bilder wählen (1 zum Ansehen und/oder Bearbeiten - 2 oder mehr für die Autoshow)</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Not saved: Tavelix opens %1 pictures but does not write them; saving is JPEG, BMP or PNG as the name says (.jpg, .bmp or .png)</source>
        <translation>Nicht gespeichert: Tavelix öffnet %1-Bilder, schreibt sie aber nicht; gespeichert wird als JPEG, BMP oder PNG, wie der Name sagt (.jpg, .bmp oder .png)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Not saved: the file name must end in .jpg, .bmp or .png</source>
        <translation>Nicht gespeichert: der Dateiname muss auf .jpg, .bmp oder .png enden</translation>
    </message>
    <message>
        <location line="+99"/>
        <source>Tavelix opens %1 files only</source>
        <translation>Tavelix öffnet nur %1-Dateien</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Save picture as</source>
        <translation>Bild speichern unter</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Save picture scrambled as</source>
        <translation>Bild verwürfelt speichern unter</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Reduce to fit</source>
        <translation>Passend verkleinern</translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../Uabout.cpp" line="+137"/>
        <location filename="../Ucompression.cpp" line="+29"/>
        <location filename="../Upwdlg.cpp" line="-4"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Paste Error: the picture on the clipboard (%1 x %2 pixels) is too large; Tavelix holds pictures of up to %3 MB</source>
        <translation>Fehler beim Einfügen: das Bild in der Zwischenablage (%1 x %2 Pixel) ist zu groß; Tavelix hält Bilder bis %3 MB</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Paste Error: not enough memory</source>
        <translation>Fehler beim Einfügen: nicht genug Speicher</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Paste Error</source>
        <translation>Fehler beim Einfügen</translation>
    </message>
    <message>
        <location filename="../preview.cpp" line="+85"/>
        <source>File too large to preview</source>
        <translation>Datei zu groß für eine Vorschau</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>No preview: the file is empty</source>
        <translation>Keine Vorschau: die Datei ist leer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Empty picture</source>
        <translation>Leeres Bild</translation>
    </message>
    <message>
        <location line="+21"/>
        <location line="+14"/>
        <source>Too large to preview</source>
        <translation>Zu groß für eine Vorschau</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>No preview: not a picture Tavelix can read</source>
        <translation>Keine Vorschau: kein Bild, das Tavelix lesen kann</translation>
    </message>
    <message>
        <location filename="../prompts.cpp" line="-2"/>
        <source>not enough memory</source>
        <translation>nicht genug Speicher</translation>
    </message>
    <message>
        <location filename="../Uabout.cpp" line="-113"/>
        <source>Tavelix %1

Made by the Tavelix developers.
Home page: %2

A picture viewer for JPEG, BMP and PNG files (HEIC and WebP photos too),
and a scrambler that shuffles a picture with a password and puts it back
together again.

What it does:
- shows a preview of the pictures in the open dialog
- pastes a bitmap from the clipboard as a new picture
- saves pictures as JPEG, BMP or PNG, converting between them (HEIC and
  WebP photos are opened, and saved in one of those three)
- makes a picture 10% larger or smaller, and clips it to a rectangle
- shows several pictures one after another with a timer (autoshow)
- fits pictures to the screen (autosize) and assembles them on the fly
  during the autoshow (autoassemble)
- saves a picture scrambled and assembles it again, up to 1280 x 1024
  pixels (1,310,720 pixels in all)
- scrambles or assembles a whole set of pictures in a folder
- makes small copies (thumbnails) of a set of pictures, named
  automatically: photo.jpg gives photos2.jpg, photos4.jpg or photos8.jpg

Choosing several pictures:
In the open dialog, hold Ctrl and click to add single pictures, or hold
Shift and click to take a whole run of them. One picture is shown for
viewing and editing; two or more start the autoshow.

The password:
- Scrambling and assembling need a password. Tavelix asks for one the
  first time it is needed; &quot;Password&quot; in the Options menu changes it.
- The password is not stored, neither in the picture nor anywhere else.
  Without it, nobody gets the picture back from Tavelix, you included.
- Upper and lower case letters count: &quot;Summer&quot; and &quot;summer&quot; are
  different passwords.
- A password has 8 to 50 characters: letters, digits, blanks and the
  signs of the Windows Western character set (such as é, ü or the
  euro sign €).

Keep the size:
A scrambled picture must keep its width and height until it is assembled.
Do not enlarge, shrink or clip it, and do not let another program resize
it: strips of another size no longer fit, and the picture is lost.

Check before you rely on it:
After &quot;Save Scrambled As ...&quot;, choose &quot;Unscramble (Assemble)&quot; at once:
the picture must come back. If a picture was assembled with the wrong
password, or was never scrambled, it only gets scrambled further; use
&quot;Reload&quot; to get the file&apos;s picture back and try again.
Saved as BMP, a scrambled picture comes back exactly. JPEG saves lose a
little detail at every save, and the lost detail shows at the seams of
the strips once the picture is assembled.
In pictures wider or higher than 255 pixels, the few columns at the right
edge and rows at the bottom that do not fill a whole strip are not put
back in place exactly.

Scrambling and assembling are one and the same shuffle, run in opposite
directions: assembling a picture that was not scrambled scrambles it.

Clipping:
Draw a rectangle over the picture with the mouse, holding the left button.
When you let go, Tavelix asks whether the clip becomes the new picture.

Enlarging:
&quot;Larger&quot; stops once a picture covers more than 1280 x 1024 pixels.

Choosing a password:
Take a long password that others cannot guess: several unrelated words,
digits and signs, not a name or a date. Keep it where you will find it:
a forgotten password cannot be recovered.

What scrambling is, and what it is not:
Scrambling hides a picture from a casual look. It is not encryption. The
strips keep all their pixels and their edges still fit together, so a
patient person, or a program written for it, can put a scrambled picture
back together without the password. Do not rely on Tavelix to keep a
picture secret from someone who wants to see it; for that, encrypt the
file with a tool made for encryption.

No warranty:
Tavelix is provided as it is, without any warranty. Keep copies of the
pictures you scramble; the makers are not liable for pictures that are
lost, damaged or seen by others.
</source>
        <translation>Tavelix %1

Von den Tavelix-Entwicklern.
Homepage: %2

Ein Bildbetrachter für JPEG-, BMP- und PNG-Dateien (auch HEIC- und WebP-Fotos)
und ein Verwürfler, der ein Bild mit einem Passwort durchmischt und es wieder
zusammensetzt.

Was es kann:
- zeigt im Öffnen-Dialog eine Vorschau der Bilder
- fügt eine Bitmap aus der Zwischenablage als neues Bild ein
- speichert Bilder als JPEG, BMP oder PNG und wandelt sie ineinander um (HEIC-
  und WebP-Fotos werden geöffnet und in einem dieser drei gespeichert)
- macht ein Bild 10% größer oder kleiner und schneidet es auf ein Rechteck zu
- zeigt mehrere Bilder nacheinander mit einem Zeitgeber (Autoshow)
- passt Bilder an den Bildschirm an (automatische Größe) und setzt sie während
  der Autoshow gleich zusammen (automatisch zusammensetzen)
- speichert ein Bild verwürfelt und setzt es wieder zusammen, bis 1280 x 1024
  Pixel (insgesamt 1.310.720 Pixel)
- verwürfelt oder setzt eine ganze Reihe von Bildern in einem Ordner zusammen
- erstellt kleine Kopien (Miniaturen) einer Reihe von Bildern, automatisch
  benannt: photo.jpg ergibt photos2.jpg, photos4.jpg oder photos8.jpg

Mehrere Bilder wählen:
Halten Sie im Öffnen-Dialog Strg gedrückt und klicken Sie, um einzelne Bilder
hinzuzufügen, oder halten Sie Umschalt und klicken Sie, um eine ganze Folge zu
nehmen. Ein Bild wird zum Ansehen und Bearbeiten gezeigt; zwei oder mehr starten
die Autoshow.

Das Passwort:
- Verwürfeln und Zusammensetzen brauchen ein Passwort. Tavelix fragt beim ersten
  Mal danach; &quot;Passwort&quot; im Menü Optionen ändert es.
- Das Passwort wird nicht gespeichert, weder im Bild noch anderswo. Ohne es
  bekommt niemand das Bild von Tavelix zurück, auch Sie nicht.
- Groß- und Kleinbuchstaben zählen: &quot;Sommer&quot; und &quot;sommer&quot; sind verschiedene
  Passwörter.
- Ein Passwort hat 8 bis 50 Zeichen: Buchstaben, Ziffern, Leerzeichen und die
  Zeichen des westeuropäischen Windows-Zeichensatzes (etwa é, ü oder das
  Eurozeichen €).

Die Größe behalten:
Ein verwürfeltes Bild muss Breite und Höhe behalten, bis es zusammengesetzt ist.
Vergrößern, verkleinern oder beschneiden Sie es nicht, und lassen Sie es von
keinem anderen Programm umrechnen: Streifen einer anderen Größe passen nicht
mehr, und das Bild ist verloren.

Prüfen, bevor Sie sich darauf verlassen:
Wählen Sie nach &quot;Verwürfelt speichern unter ...&quot; gleich &quot;Zusammensetzen
(entwürfeln)&quot;: das Bild muss zurückkommen. Wurde ein Bild mit dem falschen
Passwort zusammengesetzt oder war es nie verwürfelt, wird es nur weiter
verwürfelt; &quot;Neu laden&quot; holt das Bild der Datei zurück, dann versuchen Sie es
noch einmal.
Als BMP gespeichert kommt ein verwürfeltes Bild genau zurück. JPEG verliert bei
jedem Speichern ein wenig Detail, und das verlorene Detail zeigt sich an den
Nähten der Streifen, sobald das Bild zusammengesetzt ist.
In Bildern, die breiter oder höher als 255 Pixel sind, kommen die wenigen
Spalten am rechten Rand und Zeilen unten, die keinen ganzen Streifen füllen,
nicht genau an ihren Platz zurück.

Verwürfeln und Zusammensetzen sind ein und dieselbe Mischung, in entgegengesetzte
Richtungen: ein Bild zusammenzusetzen, das nicht verwürfelt war, verwürfelt es.

Ausschneiden:
Ziehen Sie mit gedrückter linker Maustaste ein Rechteck über das Bild. Wenn Sie
loslassen, fragt Tavelix, ob der Ausschnitt das neue Bild wird.

Vergrößern:
&quot;Größer&quot; hält an, sobald ein Bild mehr als 1280 x 1024 Pixel bedeckt.

Ein Passwort wählen:
Nehmen Sie ein langes Passwort, das andere nicht erraten können: mehrere
unzusammenhängende Wörter, Ziffern und Zeichen, keinen Namen und kein Datum.
Bewahren Sie es so auf, dass Sie es wiederfinden: ein vergessenes Passwort lässt
sich nicht wiederherstellen.

Was Verwürfeln ist und was nicht:
Verwürfeln verbirgt ein Bild vor einem flüchtigen Blick. Es ist keine
Verschlüsselung. Die Streifen behalten alle ihre Pixel, und ihre Kanten passen
weiter zueinander, sodass ein geduldiger Mensch oder ein dafür geschriebenes
Programm ein verwürfeltes Bild ohne das Passwort wieder zusammensetzen kann.
Verlassen Sie sich nicht darauf, dass Tavelix ein Bild vor jemandem geheim hält,
der es sehen will; dafür verschlüsseln Sie die Datei mit einem Werkzeug, das für
Verschlüsselung gemacht ist.

Keine Gewährleistung:
Tavelix wird so bereitgestellt, wie es ist, ohne jede Gewährleistung. Bewahren
Sie Kopien der Bilder auf, die Sie verwürfeln; die Hersteller haften nicht für
Bilder, die verloren gehen, beschädigt oder von anderen gesehen werden.
</translation>
    </message>
    <message>
        <location line="+98"/>
        <source>Copy URL</source>
        <translation>URL kopieren</translation>
    </message>
    <message>
        <location line="+44"/>
        <source>About </source>
        <translation>Über </translation>
    </message>
    <message>
        <location filename="../Ucompression.cpp" line="-14"/>
        <source>High Compression</source>
        <translation>Hohe Kompression</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>High Quality</source>
        <translation>Hohe Qualität</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>JPG quality</source>
        <translation>JPG-Qualität</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>1: high compression, 100: high quality</source>
        <translation>1: hohe Kompression, 100: hohe Qualität</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Save JPG with: %1</source>
        <translation>JPG speichern mit: %1</translation>
    </message>
    <message>
        <location filename="../Upwdlg.cpp" line="-37"/>
        <source>Character %1 of the %2 field cannot be used: passwords take the characters of the Windows Western code page only.</source>
        <translation>Zeichen %1 im %2 Feld ist nicht verwendbar: Passwörter nehmen nur die Zeichen der westeuropäischen Windows-Codepage.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Character %1 of the %2 field cannot be used: control characters are not allowed.</source>
        <translation>Zeichen %1 im %2 Feld ist nicht verwendbar: Steuerzeichen sind nicht erlaubt.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Password for Tavelix </source>
        <translation>Passwort für Tavelix </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Enter Password 8 up to 50 letters and numbers:</source>
        <translation>Passwort eingeben, 8 bis 50 Buchstaben und Ziffern:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Confirm Password:</source>
        <translation>Passwort bestätigen:</translation>
    </message>
    <message>
        <location line="+84"/>
        <source>first</source>
        <translation>ersten</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>second</source>
        <translation>zweiten</translation>
    </message>
    <message>
        <location filename="../Utavelixui.cpp" line="+126"/>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Save &amp;As ...</source>
        <translation>Speichern &amp;unter ...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save &amp;Scrambled As</source>
        <translation>&amp;Verwürfelt speichern unter</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Paste</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Clear</source>
        <translation>&amp;Leeren</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Scramble on disk</source>
        <translation>Auf dem Datenträger verwürfeln</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Unscramble (Assemble) on disk</source>
        <translation>Auf dem Datenträger &amp;zusammensetzen (entwürfeln)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Reduce  to 1/4 on disk</source>
        <translation>Auf dem Datenträger auf 1/4 verkleinern</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Reduce to 1/16 on disk</source>
        <translation>Auf dem Datenträger auf 1/16 verkleinern</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Reduce to 1/64 on disk</source>
        <translation>Auf dem Datenträger auf 1/64 verkleinern</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Smaller</source>
        <translation>&amp;Kleiner</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Reload</source>
        <translation>&amp;Neu laden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Larger</source>
        <translation>&amp;Größer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Unscramble (Assemble)</source>
        <translation>&amp;Zusammensetzen (entwürfeln)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Options</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Toolbar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Show Hints</source>
        <translation>&amp;Hinweise zeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>JPG Compression</source>
        <translation>JPG-Kompression</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Password</source>
        <translation>&amp;Passwort</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Set to black &amp;&amp; white</source>
        <translation>In &amp;Schwarzweiß umwandeln</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save As ...</source>
        <translation>Speichern unter ...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save Scrambled As ...</source>
        <translation>Verwürfelt speichern unter ...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>10% Smaller</source>
        <translation>10% kleiner</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Reload</source>
        <translation>Neu laden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>10% Larger</source>
        <translation>10% größer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Unscramble=Assemble</source>
        <translation>Entwürfeln=Zusammensetzen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>Picture</source>
        <translation>Bild</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>Autoshow: &lt;ESC&gt; toggles the menu</source>
        <translation>Autoshow: &lt;ESC&gt; blendet das Menü ein und aus</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Stop the autoshow</source>
        <translation>Autoshow beenden</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>At Random</source>
        <translation>Zufällig</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Loop</source>
        <translation>Endlos</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Autoassemble</source>
        <translation>Automatisch zusammensetzen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Autosize</source>
        <translation>Automatische Größe</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Delay:</source>
        <translation>Pause:</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>0.5 sec</source>
        <translation>0,5 s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>1 sec</source>
        <translation>1 s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>2 sec</source>
        <translation>2 s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>3 sec</source>
        <translation>3 s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>5 sec</source>
        <translation>5 s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>10 sec</source>
        <translation>10 s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Manual</source>
        <translation>Von Hand</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&lt;--- Previous</source>
        <translation>&lt;--- Vorheriges</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>---&gt; Next</source>
        <translation>---&gt; Nächstes</translation>
    </message>
</context>
</TS>
