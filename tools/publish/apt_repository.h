// The signed apt repository through which Linux installs of the package receive new versions.
#pragma once

#include <string>

namespace kelvra::publish {

// Adds the package file deb to the repository under out_dir/apt (pool/main/k/kelvraedu/,
// dists/stable/{Release,InRelease,Release.gpg}, dists/stable/main/binary-amd64/Packages(.gz)),
// keeping the packages of earlier releases, and signs it with the OpenPGP secret key in
// key_file (an armored or binary export without a passphrase). Uses Debian's apt-ftparchive
// and gpg; throws std::runtime_error when a step fails.
void PublishAptRepository(const std::string& out_dir, const std::string& deb,
                          const std::string& key_file);

}  // namespace kelvra::publish
