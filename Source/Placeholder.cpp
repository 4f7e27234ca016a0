// Replaced as the Flickr client lands.
