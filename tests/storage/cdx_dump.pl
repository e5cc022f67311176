#!/usr/bin/perl
# Lists the keys of one CDX tag in the order the file stores them, as
# "key|record" lines, using the Perl XBase module (an independent reader).
# Usage: cdx_dump.pl FILE.CDX TAG C|N
use strict;
use warnings;
use XBase::Index;

my ($file, $tag, $type) = @ARGV;
my $index = XBase::Index->new($file, tag => $tag, type => $type)
  or die "cannot open tag $tag of $file: " . XBase::Index->errstr . "\n";
$index->prepare_select;
while (my ($key, $rec) = $index->fetch) {
  $key =~ s/\s+$// if $type eq 'C';
  print "$key|$rec\n";
}
