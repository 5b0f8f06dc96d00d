#!/usr/bin/env bash
# Every text the windows show passes through Qt's translation functions, so that a translation
# can follow without a change to the code. This finds a text that bypasses them: a literal
# made a QString in the statement that hands it to a caption, a title, an accessible text, a
# button or a message box. Texts that are not words (numbers, "--") and the clinical
# abbreviations, which stay as they are in every language, are allowed.
#   check_texts.sh [file...]   (default: the windows', the designs' and the program's files)
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")/.."
if (($# == 0)); then
    set -- start/*.cpp measure/*.cpp calibrate/*.cpp results/*.cpp forms/*.cpp app/*.cpp
fi
exec perl -e '
    my %allowed = map { $_ => 1 } qw(OD OS BR BL BU BD);
    my $takers = qr/
        \b(?:set(?:Text|Title|WindowTitle|PlaceholderText|ToolTip|StatusTip|WhatsThis
               |AccessibleName|AccessibleDescription|InformativeText|DetailedText|LabelText
               |HeaderLabels|HorizontalHeaderLabels|VerticalHeaderLabels)
           |addButton|addTab|addAction|addItem|addItems|addMenu
           |QMessageBox(?:::(?:warning|information|critical|question|about)|>|\s+\w+)?
           |new\s+Q(?:Label|PushButton|CheckBox|RadioButton|GroupBox|Action|ToolButton|Menu))
        \s*[({]/x;
    my $failed = 0;
    for my $file (@ARGV) {
        open(my $in, "<", $file) or die "$file: $!\n";
        local $/;
        my $text = <$in>;
        # Comments out, lines kept, so that a line number still points at the line.
        $text =~ s{//[^\n]*}{}g;
        while ($text =~ /$takers/g) {
            my $from = $-[0];
            my $end = index($text, ";", $from);
            $end = length($text) if $end < 0;
            my $statement = substr($text, $from, $end - $from);
            # A date or time format is no text to translate.
            while ($statement =~ /(?<!toString\()
                    (?:QStringLiteral|QLatin1String|QLatin1StringView|QString::fromUtf8
                       |QString::fromLatin1|QString)\(\s*"((?:[^"\\]|\\.)*)"
                    |\bu"((?:[^"\\]|\\.)*)"/gx) {
                my $literal = defined $1 ? $1 : $2;
                my $at = $from + $-[0];
                next if $literal !~ /[[:alpha:]]/ || $allowed{$literal};
                my $line = 1 + (substr($text, 0, $at) =~ tr/\n//);
                print STDERR "FAIL: $file:$line: \"$literal\" is shown without tr()\n";
                $failed = 1;
            }
        }
    }
    print "ok: every text shown passes through tr()\n" unless $failed;
    exit $failed;
' "$@"
