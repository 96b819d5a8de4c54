#!/usr/bin/perl
# A plain line-by-line Perl script doing the converter's job, to compare speeds with.
# Usage: reference.pl thread.txt page.html
use strict;
use warnings;

my ($in, $out) = @ARGV;
open(my $r, '<:raw', $in) or die "$in: $!";
open(my $w, '>:raw', $out) or die "$out: $!";
my $date = "\x93\x8a\x8d\x65\x93\xfa";
my $name = "\x96\xbc\x91\x4f\x81\x46";
my $colon0 = "\x81\x46" . "0";
my %esc = ('&' => '&amp;', '<' => '&lt;', '>' => '&gt;', '"' => '&quot;');

print $w "<html>\r\n<body bgcolor=#F0FFE6 text=black link=blue alink=red vlink=#660099>\r\n\t<DL>\r\n";
while (my $line = <$r>) {
    $line =~ s/\r?\n\z//;
    $line =~ s/^[ \t]+//;
    # Records end at a comma outside double quotes.
    my @records = ($line =~ /((?:"[^"]*"?|[^,"])*)(?:,[ \t]*|\z)/g);
    pop @records if @records > 1 && $records[-1] eq '';
    for my $rec (@records) {
        my $frag;
        my ($h, $placeholder);
        if ((my $i = index($rec, $date)) >= 0) {
            ($h, $placeholder) = (substr($rec, 0, $i), "$date --/--/--");
        } elsif ((my $j = rindex($rec, $colon0, length($rec) - 4)) > 0) {
            ($h, $placeholder) = (substr($rec, 0, $j), "\x81\x46 --/--/--");
        }
        if (defined $h && (my $k = index($h, $name)) >= 0) {
            my ($p, $n) = (substr($h, 0, $k), substr($h, $k + 6));
            (my $num = $p) =~ s/[\x00-\x20]\z//;
            s/([&<>"])/$esc{$1}/g for ($p, $n, $num);
            $frag = "<DT><a name=\"$num\">$p</a>$name<font color=green><b>$n</b></font>$placeholder</DT>";
        } elsif ($rec eq '') {
            $frag = '';
        } elsif (length($rec) > 2 && substr($rec, 0, 2) eq '>>') {
            (my $num = substr($rec, 2)) =~ s/[\x00-\x20]\z//;
            $num =~ s/([&<>"])/$esc{$1}/g;
            $frag = "<DD><a href=\"#$num\">&gt;&gt;$num</a></DD>";
        } else {
            (my $body = $rec) =~ s/([&<>"])/$esc{$1}/g;
            $frag = "<DD>$body</DD>";
        }
        print $w "\t\t$frag<br>\r\n";
    }
}
print $w "\t</DL>\r\n</body>\r\n</html>\r\n";
close($w) or die "$out: $!";
